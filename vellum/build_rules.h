#pragma once
// The three points where the two builds of the grouped table exporter differ.

namespace qx::vellum {

struct BuildRules {
  // vellum: a null row list ends the call at once, like a null header. vellum_x: a null row
  // list only skips the body.
  bool rowListRequired;
  // vellum: every new group opens with a heading row holding the group key.
  bool groupHeadingRows;
  // vellum_x: letter b shows the group key on the first record of each group and moves the
  // previous key on; vellum shows the record's b text.
  bool letterBShowsGroupKey;
};

inline constexpr BuildRules kVellumRules{true, true, false};    // excel_file
inline constexpr BuildRules kVellumXRules{false, false, true};  // excel_file_auto

}  // namespace qx::vellum
