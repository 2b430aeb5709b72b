#pragma once
// A recording server's call log in one text form, whichever transport carried the calls: one
// line per call with object, sheet, member, DISPID, kind, and each argument's kind and value.

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/recording_server.h"

namespace qx::testing {

// A text as it appears inside the log's quotes: quote, backslash and control bytes escaped.
std::string escapedText(std::string_view utf8);

// "Worksheet[1].Range 197 get (BSTR \"$A$5\", ERROR 0x80020004)"
std::string logLine(const Call& call);

// Every call, one line each, each ending in a newline.
std::string logText(const std::vector<Call>& calls);

// `text` with every occurrence of `from` replaced by `to`.
std::string replaceAll(std::string text, std::string_view from, std::string_view to);

}  // namespace qx::testing
