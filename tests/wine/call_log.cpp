#include "tests/wine/call_log.h"

#include <charconv>
#include <cstdio>

#include "platform/code_page.h"

namespace qx::testing {

using automation::InvokeKind;
using automation::Variant;
using automation::VarType;

namespace {

const char* kindText(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::Method:
      return "method";
    case InvokeKind::PropertyGet:
      return "get";
    case InvokeKind::PropertyPut:
      return "put";
  }
  return nullptr;
}

// The shortest text that reads back as the same number, identical on every runtime.
template <class Number>
std::string shortest(Number value) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

std::string valueText(const Variant& value) {
  char buffer[32];
  switch (value.type()) {
    case VarType::Empty:
      return "EMPTY";
    case VarType::I2:
      return "I2 " + std::to_string(value.smallIntegerValue());
    case VarType::I4:
      return "I4 " + std::to_string(value.integerValue());
    case VarType::UI4:
      return "UI4 " + std::to_string(value.unsignedValue());
    case VarType::Bool:
      return "BOOL " + std::to_string(value.booleanValue());
    case VarType::R4:
      return "R4 " + shortest(value.singleValue());
    case VarType::R8:
      return "R8 " + shortest(value.realValue());
    case VarType::Error:
      std::snprintf(buffer, sizeof buffer, "ERROR 0x%08X",
                    static_cast<unsigned>(value.errorValue()));
      return buffer;
    case VarType::Dispatch:
      return value.objectValue() == nullptr ? "DISPATCH null" : "DISPATCH";
    case VarType::Bstr: {
      std::string text = "BSTR \"";
      text += escapedText(platform::utf16ToUtf8(value.textValue()));
      text += '"';
      return text;
    }
  }
  return "VT " + std::to_string(static_cast<int>(value.type()));
}

}  // namespace

std::string escapedText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string logLine(const Call& call) {
  std::string line = call.object;
  if (call.sheet != 0) {
    line += '[';
    line += std::to_string(call.sheet);
    line += ']';
  }
  line += '.';
  line += call.member;
  line += ' ';
  line += std::to_string(call.dispid);
  line += ' ';
  const char* kind = kindText(call.kind);
  line +=
      kind != nullptr ? std::string(kind) : "kind " + std::to_string(static_cast<int>(call.kind));
  line += " (";
  for (std::size_t i = 0; i < call.arguments.size(); ++i) {
    if (i > 0) line += ", ";
    line += valueText(call.arguments[i]);
  }
  line += ')';
  return line;
}

std::string logText(const std::vector<Call>& calls) {
  std::string text;
  for (const Call& call : calls) text += logLine(call) + "\n";
  return text;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace qx::testing
