#include "tests/vellum/host_records.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "automation/code_page.h"

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
  const std::string gbk = automation::utf8ToGbk(utf8);
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
struct SlotOffsets {
  std::size_t triplet, text, room;
};
// Indexed by the host's slot number - 1.
constexpr SlotOffsets kSlots[24] = {
    {4, 312, 256},    {16, 568, 80},    {172, 648, 256},  {184, 904, 80},  {28, 984, 133},
    {40, 1117, 256},  {52, 1373, 256},  {64, 1629, 133},  {76, 1762, 133}, {88, 1895, 80},
    {100, 1975, 256}, {112, 2231, 256}, {124, 2487, 133}, {136, 2620, 80}, {148, 2700, 80},
    {196, 2780, 80},  {208, 2860, 80},  {220, 2940, 80},  {232, 3020, 30}, {244, 3050, 30},
    {256, 3080, 30},  {160, 3110, 80},  {268, 3190, 80},  {280, 3270, 80},
};
}  // namespace

void HeaderRecord::slot(int number, bool shown, int row, int column, std::string_view utf8) {
  const SlotOffsets& at = kSlots[number - 1];
  int32(at.triplet, shown ? 1 : 0);
  int32(at.triplet + 4, row);
  int32(at.triplet + 8, column);
  text(at.text, at.room, utf8);
}

void HeaderRecord::picture(bool place, std::string_view firstCell, std::string_view lastCell) {
  int32(0, place ? 1 : 0);
  text(3686, 80, firstCell);
  text(3766, 80, lastCell);
}

RowRecord& RowList::add() {
  rows_.push_back(std::make_unique<RowRecord>());
  if (rows_.size() > 1) rows_[rows_.size() - 2]->address(3912, rows_.back()->data());
  return *rows_.back();
}

const std::uint8_t* RowList::first() const {
  return rows_.empty() ? nullptr : rows_.front()->data();
}

}  // namespace qx::vellum::test
