#include "engine/value_recognition.h"

#include <gtest/gtest.h>

namespace qx::engine {
namespace {

TEST(ValueRecognition, TakesTextsAsTheApplicationDoes) {
  struct Case {
    const char* text;
    RecognisedKind kind;
    double value;
  } cases[] = {
      {"12", RecognisedKind::Number, 12},
      {"-3.5", RecognisedKind::Number, -3.5},
      {"+7", RecognisedKind::Number, 7},
      {".5", RecognisedKind::Number, 0.5},
      {"5.", RecognisedKind::Number, 5},
      {"1e3", RecognisedKind::Number, 1000},
      {"-2.5E-2", RecognisedKind::Number, -0.025},
      {"  42  ", RecognisedKind::Number, 42},
      {"007", RecognisedKind::Number, 7},
      {"1000000000000000000", RecognisedKind::Number, 1e18},
      {"123456789012345", RecognisedKind::Number, 123456789012345.0},
      {"1:10", RecognisedKind::Time, 70.0 / 1440},
      {"0:05", RecognisedKind::Time, 5.0 / 1440},
      {"23:59", RecognisedKind::Time, 1439.0 / 1440},
      {"24:00", RecognisedKind::LongTime, 1.0},
      {"100:00", RecognisedKind::LongTime, 100.0 / 24},
      {"abc", RecognisedKind::Text, 0},
      {"", RecognisedKind::Text, 0},
      {"1,234", RecognisedKind::Text, 0},
      {"12a", RecognisedKind::Text, 0},
      {"e5", RecognisedKind::Text, 0},
      {"1e", RecognisedKind::Text, 0},
      {"--1", RecognisedKind::Text, 0},
      {".", RecognisedKind::Text, 0},
      {"1:60", RecognisedKind::Text, 0},
      {"1:5", RecognisedKind::Text, 0},
      {":10", RecognisedKind::Text, 0},
      {"1:10:00", RecognisedKind::Text, 0},
      {"1e400", RecognisedKind::Text, 0},
      // More digits than a double holds: kept as text so that no digit is lost.
      {"1234567890123456", RecognisedKind::Text, 0},
      {"0.1234567890123456", RecognisedKind::Text, 0},
  };
  for (const Case& c : cases) {
    const RecognisedValue value = recogniseText(c.text);
    EXPECT_EQ(value.kind, c.kind) << '"' << c.text << '"';
    if (c.kind != RecognisedKind::Text) {
      EXPECT_DOUBLE_EQ(value.number, c.value) << c.text;
    }
  }
}

}  // namespace
}  // namespace qx::engine
