#pragma once
// How a text put into a cell becomes a value: numbers and times are recognised the way the
// spreadsheet application recognises them when a user types them in.

#include <string_view>

namespace qx::engine {

enum class RecognisedKind {
  Text,      // stored as a string
  Number,    // integers, decimals, signs, exponents
  Time,      // "h:mm" below 24 hours; shown with h:mm
  LongTime,  // "h:mm" of 24 hours and more ("100:00"); shown with [h]:mm
};

struct RecognisedValue {
  RecognisedKind kind = RecognisedKind::Text;
  double number = 0;  // times as a fraction of a day
};

// Recognises `text` (UTF-8). Surrounding spaces are ignored for numbers and times. A number
// with more than 15 significant digits stays text, because a double cannot hold it and the
// digits would be lost (identifiers, account numbers).
RecognisedValue recogniseText(std::string_view text);

}  // namespace qx::engine
