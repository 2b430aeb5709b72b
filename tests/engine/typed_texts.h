#pragma once
// Texts as a user types them, with what the application makes of each in a cell formatted
// General: every class the engine recognises and the near misses that stay texts.

#include "engine/package/value_recognition.h"

namespace qx::testing {

struct TypedText {
  const char* text;
  engine::RecognisedKind kind;
  double value;        // numbers and times (in days); booleans 1 or 0; errors their place
  const char* format;  // the number format a General cell gets; "" keeps General
  const char* shown;   // Range.Text of the General cell
};

using K = engine::RecognisedKind;

inline constexpr TypedText kTypedTexts[] = {
    // Plain numbers keep General.
    {"12", K::Number, 12, "", "12"},
    {"-3.5", K::Number, -3.5, "", "-3.5"},
    {"+7", K::Number, 7, "", "7"},
    {".5", K::Number, 0.5, "", "0.5"},
    {"5.", K::Number, 5, "", "5"},
    {"  42  ", K::Number, 42, "", "42"},
    {"007", K::Number, 7, "", "7"},
    {"1000000000000000000", K::Number, 1e18, "", "1E+18"},
    {"123456789012345", K::Number, 123456789012345.0, "", "1.23457E+14"},
    // Exponents: scientific.
    {"1e3", K::Number, 1000, "0.00E+00", "1.00E+03"},
    {"2.5E-3", K::Number, 0.0025, "0.00E+00", "2.50E-03"},
    {"-2.5E-2", K::Number, -0.025, "0.00E+00", "-2.50E-02"},
    {"1.005e3", K::Number, 1005, "0.00E+00", "1.01E+03"},  // half away from zero
    {"1e100", K::Number, 1e100, "0.00E+00", "1.00E+100"},
    {"1e", K::Text, 0, "", "1e"},
    {"e5", K::Text, 0, "", "e5"},
    {"1e400", K::Text, 0, "", "1e400"},
    // Three-digit grouping.
    {"1,234", K::Number, 1234, "#,##0", "1,234"},
    {"1,234.5", K::Number, 1234.5, "#,##0.00", "1,234.50"},
    {"-1,234,567.25", K::Number, -1234567.25, "#,##0.00", "-1,234,567.25"},
    {"0,123", K::Number, 123, "#,##0", "123"},
    {"1,23", K::Text, 0, "", "1,23"},
    {"12,34", K::Text, 0, "", "12,34"},
    {"1,2345", K::Text, 0, "", "1,2345"},
    {"1234,567", K::Text, 0, "", "1234,567"},
    {",123", K::Text, 0, "", ",123"},
    {"1,234,", K::Text, 0, "", "1,234,"},
    {"1,,234", K::Text, 0, "", "1,,234"},
    {"1,234e3", K::Text, 0, "", "1,234e3"},
    {"1.234,5", K::Text, 0, "", "1.234,5"},
    // Percentages.
    {"50%", K::Number, 0.5, "0%", "50%"},
    {"12.5%", K::Number, 0.125, "0.00%", "12.50%"},
    {"-5%", K::Number, -0.05, "0%", "-5%"},
    {" 7% ", K::Number, 0.07, "0%", "7%"},
    {"1,234%", K::Number, 12.34, "0%", "1234%"},
    {"%", K::Text, 0, "", "%"},
    {"5%%", K::Text, 0, "", "5%%"},
    {"%5", K::Text, 0, "", "%5"},
    {"5 %", K::Text, 0, "", "5 %"},
    {"1e2%", K::Text, 0, "", "1e2%"},
    // Parentheses: negative.
    {"(5)", K::Number, -5, "", "-5"},
    {"(1,234)", K::Number, -1234, "#,##0", "-1,234"},
    {"(1e3)", K::Number, -1000, "0.00E+00", "-1.00E+03"},
    {"(5", K::Text, 0, "", "(5"},
    {"5)", K::Text, 0, "", "5)"},
    {"()", K::Text, 0, "", "()"},
    {"(-5)", K::Text, 0, "", "(-5)"},
    {"-(5)", K::Text, 0, "", "-(5)"},
    {"(5%)", K::Text, 0, "", "(5%)"},
    {"(5)%", K::Text, 0, "", "(5)%"},
    // Booleans in any letter case, shown in capitals.
    {"TRUE", K::Boolean, 1, "", "TRUE"},
    {"true", K::Boolean, 1, "", "TRUE"},
    {"False", K::Boolean, 0, "", "FALSE"},
    {"TRUEE", K::Text, 0, "", "TRUEE"},
    {"T RUE", K::Text, 0, "", "T RUE"},
    // A leading apostrophe: the rest, as text.
    {"'007", K::QuotedText, 0, "", "007"},
    {"'", K::QuotedText, 0, "", ""},
    {"'=1+1", K::QuotedText, 0, "", "=1+1"},
    {"''x", K::QuotedText, 0, "", "'x"},
    {" '5", K::Text, 0, "", " '5"},
    // Times: h:mm and h:mm:ss, from 24 hours as elapsed time.
    {"1:10", K::Time, 70.0 / 1440, "h:mm", "1:10"},
    {"0:05", K::Time, 5.0 / 1440, "h:mm", "0:05"},
    {"23:59", K::Time, 1439.0 / 1440, "h:mm", "23:59"},
    {"24:00", K::LongTime, 1.0, "[h]:mm", "24:00"},
    {"100:00", K::LongTime, 100.0 / 24, "[h]:mm", "100:00"},
    {"12:30:45", K::Time, 45045.0 / 86400, "h:mm:ss", "12:30:45"},
    {"0:00:01", K::Time, 1.0 / 86400, "h:mm:ss", "0:00:01"},
    {"1:10:00", K::Time, 70.0 / 1440, "h:mm:ss", "1:10:00"},
    {"100:00:00", K::LongTime, 100.0 / 24, "[h]:mm:ss", "100:00:00"},
    {"1:60", K::Text, 0, "", "1:60"},
    {"1:5", K::Text, 0, "", "1:5"},
    {":10", K::Text, 0, "", ":10"},
    {"12:60:00", K::Text, 0, "", "12:60:00"},
    {"12:30:60", K::Text, 0, "", "12:30:60"},
    {"1:10:0", K::Text, 0, "", "1:10:0"},
    {"1:10:00:00", K::Text, 0, "", "1:10:00:00"},
    // The seven error values, in any letter case, shown as the application writes them.
    {"#NULL!", K::Error, 0, "", "#NULL!"},
    {"#DIV/0!", K::Error, 1, "", "#DIV/0!"},
    {"#VALUE!", K::Error, 2, "", "#VALUE!"},
    {"#REF!", K::Error, 3, "", "#REF!"},
    {"#NAME?", K::Error, 4, "", "#NAME?"},
    {"#NUM!", K::Error, 5, "", "#NUM!"},
    {"#N/A", K::Error, 6, "", "#N/A"},
    {"#n/a", K::Error, 6, "", "#N/A"},
    {"#N/A!", K::Text, 0, "", "#N/A!"},
    {"#NA", K::Text, 0, "", "#NA"},
    {"#", K::Text, 0, "", "#"},
    // Kept as texts on purpose: more digits than a double holds, dates and fractions,
    // currencies, full-width digits, formulas.
    {"1234567890123456", K::Text, 0, "", "1234567890123456"},
    {"0.1234567890123456", K::Text, 0, "", "0.1234567890123456"},
    {"1,234,567,890,123,456", K::Text, 0, "", "1,234,567,890,123,456"},
    {"2024-01-02", K::Text, 0, "", "2024-01-02"},
    {"2024/1/2", K::Text, 0, "", "2024/1/2"},
    {"1/2", K::Text, 0, "", "1/2"},
    {"1 1/2", K::Text, 0, "", "1 1/2"},
    {"$5", K::Text, 0, "", "$5"},
    {"\xC2\xA5"
     "5",
     K::Text, 0, "",
     "\xC2\xA5"
     "5"},  // ¥5
    {"\xEF\xBF\xA5"
     "5",
     K::Text, 0, "",
     "\xEF\xBF\xA5"
     "5"},                                                                     // full-width yen
    {"\xEF\xBC\x91\xEF\xBC\x92", K::Text, 0, "", "\xEF\xBC\x91\xEF\xBC\x92"},  // full-width 12
    {"=1+1", K::Text, 0, "", "=1+1"},
    // Other texts.
    {"abc", K::Text, 0, "", "abc"},
    {"12a", K::Text, 0, "", "12a"},
    {"--1", K::Text, 0, "", "--1"},
    {".", K::Text, 0, "", "."},
    {"", K::Text, 0, "", ""},
};

}  // namespace qx::testing
