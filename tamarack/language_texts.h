#pragma once
// tamarack's messages as the run shows them: every one read anew from the language file when
// it is due, its start-up texts plugged into the run as any exporter's are.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "platform/messages.h"
#include "report/exporter_policy.h"

namespace qx::tamarack {

class LanguageTexts final : public report::RunTexts {
 public:
  explicit LanguageTexts(std::filesystem::path file) : file_(std::move(file)) {}

  // The text of `key` (code page 936) into `text`; false, after the lookup's own message,
  // when it cannot be read.
  bool lookUp(const char* key, std::string& text, platform::Messages& messages) const;

  // Shows the text of `key`; false when it could not be read.
  bool tell(const char* key, platform::Buttons buttons, platform::Messages& messages) const;

  // The start-up texts: excel_fil_03: “path”, excel_fil_04: for a missing template,
  // excel_fil_05: and excel_fil_06: for the apartment and the server, all with an OK button.
  bool tell(report::StartText which, std::string_view templatePath,
            platform::Messages& messages) const override;

 private:
  std::filesystem::path file_;
};

}  // namespace qx::tamarack
