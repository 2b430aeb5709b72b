#include "vellum/group_table_row.h"

namespace qx::vellum {

namespace {
namespace fields = platform::records::group_table_row;
}  // namespace

GroupTableRow decodeRow(platform::Bytes record) {
  const platform::RecordView view(record.first(kRowRecordSize));

  GroupTableRow row;
  row.groupKey = view.text(fields::group_key);
  row.textB = view.text(fields::b_text);
  row.text5 = view.text(fields::text_5);
  row.textC = view.text(fields::text_c);
  row.textG = view.text(fields::text_g);
  row.numberD = view.int32(fields::number_d);
  row.valueS1 = view.real(fields::value_s1);
  row.valueS2 = view.real(fields::value_s2);
  row.valueF = view.real(fields::value_f);
  row.valueT = view.real(fields::value_t);
  row.valueN = view.real(fields::value_n);
  row.valueM = view.real(fields::value_m);
  row.valueP = view.real(fields::value_p);
  row.valueO = view.real(fields::value_o);
  row.valueH = view.real(fields::value_h);
  row.valueI = view.real(fields::value_i);
  row.level = view.real(fields::level_value);
  row.minutes = view.real(fields::time_value);
  row.numberZ = view.int32(fields::number_z);
  row.yesFlag = view.int32(fields::yes_flag);
  row.valueU = view.real(fields::value_u);
  row.valueV = view.real(fields::value_v);
  row.valueY = view.real(fields::value_y);
  row.valueX2 = view.real(fields::value_x2);
  row.textW = view.text(fields::text_w);
  row.text6 = view.text(fields::text_6);
  row.text7 = view.text(fields::text_7);
  row.textQ = view.text(fields::text_q);
  row.text2 = view.text(fields::text_2);
  row.text3 = view.text(fields::text_3);
  row.text4 = view.text(fields::text_4);
  return row;
}

const std::uint8_t* nextRowRecord(const std::uint8_t* record) {
  return reinterpret_cast<const std::uint8_t*>(
      platform::RecordView(platform::Bytes(record, kRowRecordSize)).address(kRowNext));
}

std::vector<GroupTableRow> decodeRowList(const std::uint8_t* first) {
  std::vector<GroupTableRow> rows;
  for (const std::uint8_t* record = first; record != nullptr; record = nextRowRecord(record)) {
    rows.push_back(decodeRow(platform::Bytes(record, kRowRecordSize)));
  }
  return rows;
}

}  // namespace qx::vellum
