#include "platform/code_page.h"
#include "report/exporter_policy.h"

namespace qx::report {

bool FixedTexts::tell(StartText which, std::string_view templatePath,
                      platform::Messages& messages) const {
  const FixedText& shown = texts_[static_cast<int>(which)];
  std::string text(shown.text);
  if (const std::size_t place = text.find("%s");
      which == StartText::TemplateMissing && place != std::string::npos) {
    text.replace(place, 2, platform::gbkToUtf8(templatePath));
  }
  messages.show(text, shown.buttons);
  return true;
}

}  // namespace qx::report
