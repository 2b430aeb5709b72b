#include "tamarack/language_texts.h"

#include "platform/code_page.h"
#include "tamarack/language_file.h"

namespace qx::tamarack {

bool LanguageTexts::lookUp(const char* key, std::string& text, platform::Messages& messages) const {
  return read_language_text(key, text, file_, messages) == 1;
}

bool LanguageTexts::tell(const char* key, platform::Buttons buttons,
                         platform::Messages& messages) const {
  std::string text;
  if (!lookUp(key, text, messages)) return false;
  messages.show(platform::gbkToUtf8(text), buttons);
  return true;
}

bool LanguageTexts::tell(report::StartText which, std::string_view templatePath,
                         platform::Messages& messages) const {
  switch (which) {
    case report::StartText::ApartmentFailed:
      return tell("excel_fil_05:", platform::Buttons::Ok, messages);
    case report::StartText::ServerNotStarted:
      return tell("excel_fil_06:", platform::Buttons::Ok, messages);
    case report::StartText::TemplateMissing:
      break;
  }
  std::string first, last;
  if (!lookUp("excel_fil_03:", first, messages) || !lookUp("excel_fil_04:", last, messages)) {
    return false;
  }
  const std::string path = platform::gbkToUtf8(templatePath);
  messages.show(platform::format("%s“%s”, %s", platform::gbkToUtf8(first).c_str(), path.c_str(),
                                 platform::gbkToUtf8(last).c_str()),
                platform::Buttons::Ok);
  return true;
}

}  // namespace qx::tamarack
