#pragma once
// Where one exporter's run differs from the others'. Each exporter names its own policy
// (<exporter>/run_policy.h) with the fields in this order, so that the four read side by side.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "automation/dispatch.h"
#include "platform/messages.h"
#include "report/failure_report.h"
#include "report/sheet_writing.h"

namespace qx::report {

// The errors a policy can have a row that names no cell raise, as the server names them.
inline constexpr std::int32_t kBadIndex = automation::hr::kBadIndex;
inline constexpr std::int32_t kInvalidArgument = automation::hr::kInvalidArg;

// The messages of a run that cannot start.
enum class StartText {
  TemplateMissing,   // the template cannot be opened for reading; the text names its path
  ApartmentFailed,   // COM cannot be initialised on the calling thread
  ServerNotStarted,  // the server cannot be created
};

// Where an exporter's start-up messages come from: texts fixed in the program, or a file of its
// own that is read when a message is due.
class RunTexts {
 public:
  // Shows the text of `which`; `templatePath` (code page 936) is the path a TemplateMissing text
  // names. False when the text could not be had: the user has been told why instead, and the
  // steps that follow the message are left out.
  virtual bool tell(StartText which, std::string_view templatePath,
                    platform::Messages& messages) const = 0;

 protected:
  ~RunTexts() = default;
};

// One message fixed in the program: UTF-8, "%s" in a TemplateMissing text takes the path.
struct FixedText {
  std::string_view text;
  platform::Buttons buttons = platform::Buttons::Ok;
};

class FixedTexts final : public RunTexts {
 public:
  constexpr FixedTexts(FixedText templateMissing, FixedText apartmentFailed,
                       FixedText serverNotStarted)
      : texts_{templateMissing, apartmentFailed, serverNotStarted} {}

  // Always shows its text; true.
  bool tell(StartText which, std::string_view templatePath,
            platform::Messages& messages) const override;

 private:
  FixedText texts_[3];
};

// The start-up texts heron, vellum and kestrel share.
inline constexpr FixedTexts kFixedStartTexts{
    {"模板文件“%s”, 不存在!"}, {"初始化环境失败!"}, {"无法启动Excel服务器!"}};

struct ExporterPolicy {
  // COM is uninitialised on the calling thread when the fill ends normally, saved or stopped;
  // otherwise the apartment stays for the host's thread.
  bool uninitializeAfterGoodRun;
  // The same when the fill ends on a failure (a failed call, input sheet writing cannot name).
  bool uninitializeAfterFailure;
  // The error a row that leaves the 32-bit range raises: no sheet has it, and the server would
  // refuse it as it refuses any row beyond its sheet.
  std::int32_t rowOutOfRange;
  // The error a frame above the sheet's first row raises; none: such a cell has no address,
  // and the run ends as on other input sheet writing cannot name.
  std::optional<std::int32_t> frameAboveSheet;
  // How pictures are placed, and whether a missing picture file is told; none: no pictures.
  std::optional<PictureStyle> picture;
  // Bytes of the work area a number's text is printed into (numberToText); 0: prints none.
  std::size_t numberWorkArea;
  // What precedes the reason when a run ends on a failure other than a failed call.
  std::string_view otherFailurePrefix;
  // The messages of a run that cannot start; none: nothing is told, and no step that follows
  // a message is taken.
  const RunTexts* startTexts;
};

}  // namespace qx::report
