#pragma once
// A call the recording server is to fail, written as one line so that it can reach a server in
// another process through the environment (QX_RECORDING_FAIL):
// "Operation|occurrence|HRESULT|description", e.g. "Range.BorderAround|2|0x80020009|不行".

#include <string_view>

#include "tests/support/recording_server.h"

namespace qx::testing {

// Makes `server` fail that call, with an exception carrying the description (UTF-8) when the
// HRESULT is DISP_E_EXCEPTION. False, and nothing changed, when the line does not parse.
bool planFailure(RecordingServer& server, std::string_view line);

}  // namespace qx::testing
