#pragma once
// What the user is told. On Windows a modal message box; elsewhere one UTF-8 line on standard
// error. Every message shown is also appended as one UTF-8 line to the file named by the
// environment variable QX_MESSAGE_LOG, when it is set.

#include <string>
#include <string_view>

namespace qx::platform {

enum class Buttons { Ok, OkCancel };

// Shows messages to the user. Texts are UTF-8.
class Messages {
 public:
  virtual ~Messages() = default;
  virtual void show(std::string_view text, Buttons buttons) = 0;
};

// The system's message boxes (with the QX_MESSAGE_LOG copy). Lives for the whole process.
Messages& systemMessages();

// Appends one line to the QX_MESSAGE_LOG file when the variable is set; never fails loudly.
void appendToMessageLog(std::string_view text);

// "A“B”, C" and the like are built with this: printf-style formatting into a string that
// grows as needed, so no message is ever cut or written past a buffer.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qx::platform
