#pragma once
// What the fake IDispatch server records, and the plain C functions it exports so that a test
// can read its log and steer it. Plain data only: the server DLL and the test program each
// carry their own runtime.

#include <cstdint>

namespace qx::testing {

inline constexpr int kMaxArguments = 16;
inline constexpr int kMaxText = 64;

// One argument as it arrived, in positional order (the first argument first).
struct RecordedArgument {
  std::uint16_t vt = 0;
  std::int64_t integer = 0;       // I2, I4, UI4, BOOL, ERROR (scode)
  double real = 0;                // R4, R8
  std::int32_t textLength = -1;   // BSTR: its length, -1 for a null BSTR
  char16_t text[kMaxText] = {};   // BSTR: the first kMaxText - 1 characters
  std::int32_t isNullObject = 0;  // DISPATCH: 1 when it held null
};

// One IDispatch::Invoke as the server received it.
struct RecordedCall {
  std::int32_t object = 0;  // serial number of the fake object called
  std::int32_t dispid = 0;
  std::uint16_t flags = 0;
  std::uint32_t argumentCount = 0;  // cArgs
  std::uint32_t namedCount = 0;     // cNamedArgs
  std::int32_t firstNamed = 0;      // rgdispidNamedArgs[0] when there is one
  std::int32_t hasResult = 0;       // pVarResult was given
  RecordedArgument arguments[kMaxArguments];
};

// The kinds of result a test can make the next call of a DISPID answer with.
enum class Answer : std::int32_t { Null = 1, UnsignedByte = 2, Date = 3, Array = 4 };

// The members of the control object of the out-of-process server. Its references are not
// counted among the outstanding ones.
namespace control {
inline constexpr std::int32_t kCalls = 1;        // get: the RecordedCall array as BSTR bytes
inline constexpr std::int32_t kOutstanding = 2;  // get: I4
inline constexpr std::int32_t kReset = 3;        // method
// method: dispid I4, hresult I4, scode I4, wCode I4, source BSTR, description BSTR, deferred BOOL
inline constexpr std::int32_t kFailNext = 4;
inline constexpr std::int32_t kAnswerNext = 5;  // method: dispid I4, answer I4
inline constexpr std::int32_t kProcessId = 6;   // get: I4, the server process's id
// Asked of any object of the out-of-process server (get: VT_DISPATCH): the control object of
// that same process, so that a test never reads the log of another test's server. Not logged.
inline constexpr std::int32_t kControlOfThisServer = 0x7F000001;
}  // namespace control

}  // namespace qx::testing

extern "C" {
using QxFakeCallCount = int (*)();
using QxFakeCall = const qx::testing::RecordedCall* (*)(int index);
// References handed out and not yet released, over every live fake object.
using QxFakeOutstanding = long (*)();
// Clears the log, the planned failures and answers, and the cells; sheets back to 2.
using QxFakeReset = void (*)();
// The next call of dispid returns hresult; with DISP_E_EXCEPTION the EXCEPINFO carries scode,
// wCode, source and description, filled at once or (deferred != 0) through pfnDeferredFillIn.
using QxFakeFailNext = void (*)(std::int32_t dispid, std::int32_t hresult, std::int32_t scode,
                                std::uint16_t wCode, const char16_t* source,
                                const char16_t* description, int deferred);
// The next call of dispid answers with a value of the given kind.
using QxFakeAnswerNext = void (*)(std::int32_t dispid, qx::testing::Answer answer);
}
