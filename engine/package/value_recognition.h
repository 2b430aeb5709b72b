#pragma once
// How a text put into a cell becomes a value: numbers, times, booleans, error values and
// apostrophe-prefixed texts are recognised the way the spreadsheet application recognises them
// when a user types them in, limited to what reads the same under the zh-CN and en-US locales.

#include <string_view>

namespace qx::engine {

enum class RecognisedKind {
  Text,        // stored as a string
  Number,      // integers, decimals, signs, exponents, grouped digits, percentages, (n)
  Time,        // "h:mm" or "h:mm:ss" below 24 hours
  LongTime,    // "h:mm" or "h:mm:ss" of 24 hours and more ("100:00")
  Boolean,     // TRUE or FALSE in any letter case; `number` is 1 or 0
  Error,       // one of the seven error literals; `text` is its canonical form and `number`
               // its place in kErrorLiterals
  QuotedText,  // a leading apostrophe: `text` is the rest, kept as a string
};

struct RecognisedValue {
  RecognisedKind kind = RecognisedKind::Text;
  double number = 0;  // times as a fraction of a day
  // The number format the application gives the cell when its format is General ("#,##0",
  // "0%", "0.00E+00", "h:mm:ss"...); empty when it keeps General.
  std::string_view format;
  // Error: the literal as the cell shows it; QuotedText: the text after the apostrophe (a view
  // into the recognised text).
  std::string_view text;
};

// Recognises `text` (UTF-8). Surrounding spaces are ignored except before an apostrophe. A
// number with more than 15 significant digits stays text, because a double cannot hold it and
// the digits would be lost (identifiers, account numbers). Dates, fractions, currencies,
// full-width digits and formulas stay text.
RecognisedValue recogniseText(std::string_view text);

// The seven error literals, in the order error cells number them.
inline constexpr std::string_view kErrorLiterals[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                                      "#NAME?", "#NUM!",   "#N/A"};

}  // namespace qx::engine
