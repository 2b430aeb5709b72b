#include "engine/package/value_recognition.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/package/number_formats.h"
#include "tests/engine/typed_texts.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

// Kind, value and format of every class and its near misses; the number shown in the format
// it brings is the cell's text (what the cell shows through the engine: engine_objects_test).
TEST(ValueRecognition, TakesTextsAsTheApplicationDoes) {
  for (const TypedText& c : kTypedTexts) {
    const RecognisedValue value = recogniseText(c.text);
    EXPECT_EQ(static_cast<int>(value.kind), static_cast<int>(c.kind)) << '"' << c.text << '"';
    EXPECT_EQ(value.format, c.format) << '"' << c.text << '"';
    switch (c.kind) {
      case RecognisedKind::Number:
      case RecognisedKind::Time:
      case RecognisedKind::LongTime:
        EXPECT_DOUBLE_EQ(value.number, c.value) << c.text;
        EXPECT_EQ(formatNumber(value.number, *c.format ? c.format : "General"), c.shown) << c.text;
        break;
      case RecognisedKind::Boolean:
        EXPECT_EQ(value.number, c.value) << c.text;
        break;
      case RecognisedKind::Error:
        EXPECT_EQ(value.number, c.value) << c.text;
        EXPECT_EQ(value.text, c.shown) << c.text;
        EXPECT_EQ(kErrorLiterals[static_cast<int>(c.value)], c.shown) << c.text;
        break;
      case RecognisedKind::QuotedText:
        EXPECT_EQ(value.text, c.shown) << c.text;
        break;
      case RecognisedKind::Text:
        EXPECT_EQ(c.shown, std::string_view(c.text)) << c.text;
        break;
    }
  }
}

// A percentage is read as the decimal number a hundred times smaller, not as a product that
// a binary double would round twice.
TEST(ValueRecognition, PercentagesAreTheNumbersAHundredTimesSmaller) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.07%", "0.0007"}, {"1.1%", "0.011"}, {"57.7%", "0.577"}, {"1,234.5678%", "12.345678"}};
  for (const auto& [percent, decimal] : cases) {
    EXPECT_EQ(recogniseText(percent).number, recogniseText(decimal).number) << percent;
  }
}

}  // namespace
}  // namespace qx::testing
