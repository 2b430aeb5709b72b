#include "vellum/group_table_row.h"

namespace qx::vellum {

namespace {
namespace offset {
constexpr std::size_t kGroupKey = 4;
constexpr std::size_t kTextB = 84;
constexpr std::size_t kText5 = 350;
constexpr std::size_t kTextC = 850;
constexpr std::size_t kTextG = 881;
constexpr std::size_t kNumberD = 1140;
constexpr std::size_t kValueS1 = 1144;
constexpr std::size_t kValueS2 = 1152;
constexpr std::size_t kValueF = 1160;
constexpr std::size_t kValueT = 1168;
constexpr std::size_t kValueN = 1176;
constexpr std::size_t kValueM = 1184;
constexpr std::size_t kValueP = 1192;
constexpr std::size_t kValueO = 1200;
constexpr std::size_t kValueH = 1208;
constexpr std::size_t kValueI = 1216;
constexpr std::size_t kLevel = 1224;
constexpr std::size_t kMinutes = 1232;
constexpr std::size_t kNumberZ = 1240;
constexpr std::size_t kYesFlag = 1244;
constexpr std::size_t kValueU = 1248;
constexpr std::size_t kValueV = 1256;
constexpr std::size_t kValueY = 1264;
constexpr std::size_t kValueX2 = 1272;
constexpr std::size_t kTextW = 1280;
constexpr std::size_t kText6 = 1536;
constexpr std::size_t kText7 = 1792;
constexpr std::size_t kTextQ = 2304;
constexpr std::size_t kText2 = 2564;
constexpr std::size_t kText3 = 2645;
constexpr std::size_t kText4 = 3645;
}  // namespace offset
}  // namespace

GroupTableRow decodeRow(platform::Bytes record) {
  using platform::doubleAt;
  using platform::int32At;
  using platform::textAt;
  record = record.first(kRowRecordSize);

  GroupTableRow row;
  row.groupKey = textAt(record, offset::kGroupKey, 80);
  row.textB = textAt(record, offset::kTextB, 266);
  row.text5 = textAt(record, offset::kText5, 500);
  row.textC = textAt(record, offset::kTextC, 31);
  row.textG = textAt(record, offset::kTextG, 259);
  row.numberD = int32At(record, offset::kNumberD);
  row.valueS1 = doubleAt(record, offset::kValueS1);
  row.valueS2 = doubleAt(record, offset::kValueS2);
  row.valueF = doubleAt(record, offset::kValueF);
  row.valueT = doubleAt(record, offset::kValueT);
  row.valueN = doubleAt(record, offset::kValueN);
  row.valueM = doubleAt(record, offset::kValueM);
  row.valueP = doubleAt(record, offset::kValueP);
  row.valueO = doubleAt(record, offset::kValueO);
  row.valueH = doubleAt(record, offset::kValueH);
  row.valueI = doubleAt(record, offset::kValueI);
  row.level = doubleAt(record, offset::kLevel);
  row.minutes = doubleAt(record, offset::kMinutes);
  row.numberZ = int32At(record, offset::kNumberZ);
  row.yesFlag = int32At(record, offset::kYesFlag);
  row.valueU = doubleAt(record, offset::kValueU);
  row.valueV = doubleAt(record, offset::kValueV);
  row.valueY = doubleAt(record, offset::kValueY);
  row.valueX2 = doubleAt(record, offset::kValueX2);
  row.textW = textAt(record, offset::kTextW, 256);
  row.text6 = textAt(record, offset::kText6, 256);
  row.text7 = textAt(record, offset::kText7, 512);
  row.textQ = textAt(record, offset::kTextQ, 260);
  row.text2 = textAt(record, offset::kText2, 81);
  row.text3 = textAt(record, offset::kText3, 1000);
  row.text4 = textAt(record, offset::kText4, 267);
  return row;
}

const std::uint8_t* nextRowRecord(const std::uint8_t* record) {
  return reinterpret_cast<const std::uint8_t*>(
      platform::addressAt(platform::Bytes(record, kRowRecordSize), kRowNextOffset, 8));
}

std::vector<GroupTableRow> decodeRowList(const std::uint8_t* first) {
  std::vector<GroupTableRow> rows;
  for (const std::uint8_t* record = first; record != nullptr; record = nextRowRecord(record)) {
    rows.push_back(decodeRow(platform::Bytes(record, kRowRecordSize)));
  }
  return rows;
}

}  // namespace qx::vellum
