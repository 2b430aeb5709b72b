#pragma once
// The test side of the fake IDispatch server: reads its log and steers it, in process through
// the plain C functions of the module COM loaded, out of process through its control object.

#include <cstdint>
#include <string>
#include <vector>

#include "automation/automation_object.h"
#include "automation/variant.h"
#include "tests/com/fake_log.h"
#include "tests/com/fake_server_ids.h"

namespace qx::testing {

class FakeServer {
 public:
  // Binds to the fake server's module; false when COM has not loaded it into this process.
  bool connect();
  // Binds to the out-of-process server that serves `served` through that server's control
  // object; false when it gives none.
  bool connectOutOfProcess(const automation::AutomationObject& served);

  std::vector<RecordedCall> calls() const;
  long outstanding() const;
  void reset() const;
  void failNext(std::int32_t dispid, std::int32_t hresult, std::int32_t scode, std::uint16_t wCode,
                const std::u16string& source, const std::u16string& description,
                bool deferred = false) const;
  void answerNext(std::int32_t dispid, Answer answer) const;
  // The id of the out-of-process server's process; 0 in process.
  std::uint32_t serverProcessId() const;

 private:
  QxFakeCallCount callCount_ = nullptr;
  QxFakeCall call_ = nullptr;
  QxFakeOutstanding outstanding_ = nullptr;
  QxFakeReset reset_ = nullptr;
  QxFakeFailNext failNext_ = nullptr;
  QxFakeAnswerNext answerNext_ = nullptr;
  automation::AutomationObject control_;  // out of process only
};

// Whether a recorded argument is exactly `expected`: the same VARIANT type and the same raw
// value (a Boolean true must have arrived as -1, a single as the same 32-bit float).
bool sameArgument(const RecordedArgument& recorded, const automation::Variant& expected);

// "vt=3 3", "vt=8 \"x\"": the recorded arguments of a call, for failure messages.
std::string describeArguments(const RecordedCall& call);

}  // namespace qx::testing
