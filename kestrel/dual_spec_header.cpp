#include "kestrel/dual_spec_header.h"

namespace qx::kestrel {

namespace {
namespace fields = platform::records::dual_spec_header;

// A header text with its flag, row and column. The fourth text's triplet does not follow the
// third's: the twelve bytes between belong to no text.
struct HeaderTextFields {
  platform::TextField text;
  platform::Int32Field shown, row, column;
};
constexpr std::array<HeaderTextFields, 4> kHeaderTexts = {{
    {fields::header_text1, fields::show_flag1, fields::header_row1, fields::header_column1},
    {fields::header_text2, fields::show_flag2, fields::header_row2, fields::header_column2},
    {fields::header_text3, fields::show_flag3, fields::header_row3, fields::header_column3},
    {fields::header_text4, fields::show_flag4, fields::header_row4, fields::header_column4},
}};
}  // namespace

DualSpecHeader decodeDualSpecHeader(platform::Bytes record) {
  const platform::RecordView view(record);
  DualSpecHeader header;
  for (std::size_t k = 0; k < header.texts.size(); ++k) {
    HeaderText& text = header.texts[k];
    const HeaderTextFields& at = kHeaderTexts[k];
    text.text = std::string(view.text(at.text));
    text.shown = view.int32(at.shown) != 0;
    text.row = view.int32(at.row);
    text.column = view.int32(at.column);
  }
  header.templatePath = std::string(view.text(fields::template_path));
  header.primarySpec = std::string(view.text(fields::primary_spec));
  header.secondarySpec = std::string(view.text(fields::secondary_spec));
  header.startRow = view.int32(fields::start_row);
  header.borderWeight = view.int32(fields::border_weight);
  return header;
}

}  // namespace qx::kestrel
