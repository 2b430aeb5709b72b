#include "tests/vellum/host_records.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/code_page.h"

namespace qx::vellum::test {

void HostBytes::int32(std::size_t offset, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes_.at(offset + i) = (bits >> (8 * i)) & 0xFF;
}

void HostBytes::real(std::size_t offset, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (std::size_t i = 0; i < 8; ++i) bytes_.at(offset + i) = (bits >> (8 * i)) & 0xFF;
}

void HostBytes::text(std::size_t offset, std::size_t room, std::string_view utf8) {
  const std::string gbk = platform::utf8ToGbk(utf8);
  if (gbk.size() + 1 > room) throw std::length_error("text does not fit its room");
  raw(offset, gbk);
  bytes_.at(offset + gbk.size()) = 0;
}

void HostBytes::raw(std::size_t offset, std::string_view bytes) {
  if (offset + bytes.size() > bytes_.size()) throw std::out_of_range("past the record");
  std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
}

void HostBytes::address(std::size_t offset, const void* target) {
  const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(target));
  for (std::size_t i = 0; i < 8; ++i) bytes_.at(offset + i) = (value >> (8 * i)) & 0xFF;
}

namespace {
// A header slot's four fields.
struct SlotFields {
  platform::Int32Field show, row, column;
  platform::TextField text;
};
#define QX_SLOT(n)                                                                                \
  SlotFields {                                                                                    \
    header_fields::slot##n##_show, header_fields::slot##n##_row, header_fields::slot##n##_column, \
        header_fields::slot##n##_text                                                             \
  }
// Indexed by the host's slot number - 1.
constexpr SlotFields kSlots[24] = {
    QX_SLOT(1),  QX_SLOT(2),  QX_SLOT(3),  QX_SLOT(4),  QX_SLOT(5),  QX_SLOT(6),
    QX_SLOT(7),  QX_SLOT(8),  QX_SLOT(9),  QX_SLOT(10), QX_SLOT(11), QX_SLOT(12),
    QX_SLOT(13), QX_SLOT(14), QX_SLOT(15), QX_SLOT(16), QX_SLOT(17), QX_SLOT(18),
    QX_SLOT(19), QX_SLOT(20), QX_SLOT(21), QX_SLOT(22), QX_SLOT(23), QX_SLOT(24),
};
#undef QX_SLOT
}  // namespace

void HeaderRecord::slot(int number, bool shown, int row, int column, std::string_view utf8) {
  const SlotFields& at = kSlots[number - 1];
  int32(at.show, shown ? 1 : 0);
  int32(at.row, row);
  int32(at.column, column);
  text(at.text, utf8);
}

void HeaderRecord::picture(bool place, std::string_view firstCell, std::string_view lastCell) {
  int32(header_fields::picture_flag, place ? 1 : 0);
  text(header_fields::picture_first_cell, firstCell);
  text(header_fields::picture_last_cell, lastCell);
}

RowRecord& RowList::add() {
  rows_.push_back(std::make_unique<RowRecord>());
  if (rows_.size() > 1)
    rows_[rows_.size() - 2]->address(row_fields::next.offset, rows_.back()->data());
  return *rows_.back();
}

const std::uint8_t* RowList::first() const {
  return rows_.empty() ? nullptr : rows_.front()->data();
}

}  // namespace qx::vellum::test
