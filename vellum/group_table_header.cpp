#include "vellum/group_table_header.h"

namespace qx::vellum {

namespace {
namespace fields = platform::records::group_table_header;
}  // namespace

#define QX_SLOT(n)                                                              \
  HeaderSlotLayout {                                                            \
    n, fields::slot##n##_show, fields::slot##n##_row, fields::slot##n##_column, \
        fields::slot##n##_text                                                  \
  }
const std::array<HeaderSlotLayout, kHeaderSlotCount> kHeaderSlotLayouts = {{
    QX_SLOT(1),  QX_SLOT(2),  QX_SLOT(3),  QX_SLOT(4),  QX_SLOT(5),  QX_SLOT(6),
    QX_SLOT(7),  QX_SLOT(8),  QX_SLOT(9),  QX_SLOT(10), QX_SLOT(11), QX_SLOT(12),
    QX_SLOT(13), QX_SLOT(14), QX_SLOT(15), QX_SLOT(16), QX_SLOT(17), QX_SLOT(18),
    QX_SLOT(19), QX_SLOT(20), QX_SLOT(21), QX_SLOT(22), QX_SLOT(23), QX_SLOT(24),
}};
#undef QX_SLOT

GroupTableHeader decodeHeader(platform::Bytes record) {
  const platform::RecordView view(record.first(kHeaderRecordSize));
  GroupTableHeader header;
  header.placePicture = view.int32(fields::picture_flag) != 0;
  for (std::size_t i = 0; i < kHeaderSlotLayouts.size(); ++i) {
    const HeaderSlotLayout& layout = kHeaderSlotLayouts[i];
    header.slots[i] = {layout.slot, view.int32(layout.showFlag) != 0, view.int32(layout.row),
                       view.int32(layout.column), view.text(layout.text)};
  }
  header.borderWeight = view.int32(fields::border_weight);
  header.startRow = view.int32(fields::start_row);
  header.groupColumn = view.int32(fields::group_column);
  header.timeFormat = view.int32(fields::time_format) != 0;
  header.templatePath = view.text(fields::template_path);
  header.columnSpec = view.text(fields::column_spec);
  header.pictureFirstCell = view.text(fields::picture_first_cell);
  header.pictureLastCell = view.text(fields::picture_last_cell);
  header.referenceValue = view.real(fields::reference_value);
  header.eCorrection = view.real(fields::e_correction);
  header.xCorrection = view.real(fields::x_correction);
  header.yCorrection = view.real(fields::y_correction);
  return header;
}

}  // namespace qx::vellum
