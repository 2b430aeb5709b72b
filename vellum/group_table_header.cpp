#include "vellum/group_table_header.h"

namespace qx::vellum {

namespace {
constexpr HeaderSlotLayout slotAt(int slot, std::size_t triplet, std::size_t text,
                                  std::size_t room) {
  return {slot, triplet, triplet + 4, triplet + 8, text, room};
}

namespace offset {
constexpr std::size_t kPictureFlag = 0;
constexpr std::size_t kBorderWeight = 292;
constexpr std::size_t kStartRow = 296;
constexpr std::size_t kGroupColumn = 304;
constexpr std::size_t kTimeFormat = 308;
constexpr std::size_t kTemplatePath = 3350;
constexpr std::size_t kColumnSpec = 3606;
constexpr std::size_t kPictureFirstCell = 3686;
constexpr std::size_t kPictureLastCell = 3766;
constexpr std::size_t kReferenceValue = 3848;
constexpr std::size_t kECorrection = 3856;
constexpr std::size_t kXCorrection = 3864;
constexpr std::size_t kYCorrection = 3872;
}  // namespace offset
}  // namespace

const std::array<HeaderSlotLayout, kHeaderSlotCount> kHeaderSlotLayouts = {{
    slotAt(1, 4, 312, 256),     slotAt(2, 16, 568, 80),     slotAt(3, 172, 648, 256),
    slotAt(4, 184, 904, 80),    slotAt(5, 28, 984, 133),    slotAt(6, 40, 1117, 256),
    slotAt(7, 52, 1373, 256),   slotAt(8, 64, 1629, 133),   slotAt(9, 76, 1762, 133),
    slotAt(10, 88, 1895, 80),   slotAt(11, 100, 1975, 256), slotAt(12, 112, 2231, 256),
    slotAt(13, 124, 2487, 133), slotAt(14, 136, 2620, 80),  slotAt(15, 148, 2700, 80),
    slotAt(16, 196, 2780, 80),  slotAt(17, 208, 2860, 80),  slotAt(18, 220, 2940, 80),
    slotAt(19, 232, 3020, 30),  slotAt(20, 244, 3050, 30),  slotAt(21, 256, 3080, 30),
    slotAt(22, 160, 3110, 80),  slotAt(23, 268, 3190, 80),  slotAt(24, 280, 3270, 80),
}};

GroupTableHeader decodeHeader(platform::Bytes record) {
  using platform::doubleAt;
  using platform::int32At;
  using platform::textAt;
  record = record.first(kHeaderRecordSize);

  GroupTableHeader header;
  header.placePicture = int32At(record, offset::kPictureFlag) != 0;
  for (std::size_t i = 0; i < kHeaderSlotLayouts.size(); ++i) {
    const HeaderSlotLayout& layout = kHeaderSlotLayouts[i];
    header.slots[i] = {layout.slot, int32At(record, layout.showFlag) != 0,
                       int32At(record, layout.row), int32At(record, layout.column),
                       textAt(record, layout.text, layout.room)};
  }
  header.borderWeight = int32At(record, offset::kBorderWeight);
  header.startRow = int32At(record, offset::kStartRow);
  header.groupColumn = int32At(record, offset::kGroupColumn);
  header.timeFormat = int32At(record, offset::kTimeFormat) != 0;
  header.templatePath = textAt(record, offset::kTemplatePath, 256);
  header.columnSpec = textAt(record, offset::kColumnSpec, 80);
  header.pictureFirstCell = textAt(record, offset::kPictureFirstCell, 80);
  header.pictureLastCell = textAt(record, offset::kPictureLastCell, 80);
  header.referenceValue = doubleAt(record, offset::kReferenceValue);
  header.eCorrection = doubleAt(record, offset::kECorrection);
  header.xCorrection = doubleAt(record, offset::kXCorrection);
  header.yCorrection = doubleAt(record, offset::kYCorrection);
  return header;
}

}  // namespace qx::vellum
