#pragma once
// The host's records laid out byte by byte, as the calculation program fills them: fields are
// placed at their offsets, texts are GBK with a NUL, and rows are linked by address.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qx::vellum::test {

class HostBytes {
 public:
  explicit HostBytes(std::size_t size) : bytes_(size, 0) {}
  void int32(std::size_t offset, std::int32_t value);
  void real(std::size_t offset, double value);
  // UTF-8 text stored as GBK with its NUL (which must fit the room).
  void text(std::size_t offset, std::size_t room, std::string_view utf8);
  // Raw bytes, no NUL added: a field filled to its last byte.
  void raw(std::size_t offset, std::string_view bytes);
  void address(std::size_t offset, const void* target);
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// GroupTableHeader (3880 bytes).
class HeaderRecord : public HostBytes {
 public:
  HeaderRecord() : HostBytes(3880) {}
  // Slot numbers as the host counts them (1..24); each sets show flag, row, column and text.
  void slot(int number, bool shown, int row, int column, std::string_view utf8);
  void picture(bool place, std::string_view firstCell, std::string_view lastCell);
  void borderWeight(int weight) { int32(292, weight); }
  void startRow(int row) { int32(296, row); }
  void groupColumn(int column) { int32(304, column); }
  void timeFormat(bool on) { int32(308, on ? 1 : 0); }
  void templatePath(std::string_view utf8) { text(3350, 256, utf8); }
  void columnSpec(std::string_view letters) { text(3606, 80, letters); }
  void referenceValue(double value) { real(3848, value); }
  void eCorrection(double value) { real(3856, value); }
  void xCorrection(double value) { real(3864, value); }
  void yCorrection(double value) { real(3872, value); }
};

// GroupTableRow (3920 bytes); the link at 3912 is set by RowList.
class RowRecord : public HostBytes {
 public:
  RowRecord() : HostBytes(3920) {}
  void groupKey(std::string_view utf8) { text(4, 80, utf8); }
  void minutes(double value) { real(1232, value); }
  void level(double value) { real(1224, value); }
};

// A singly linked list of rows in the host's memory.
class RowList {
 public:
  RowRecord& add();
  // The first record, or null for an empty list.
  const std::uint8_t* first() const;
  RowRecord& operator[](std::size_t i) { return *rows_[i]; }
  std::size_t size() const { return rows_.size(); }

 private:
  std::vector<std::unique_ptr<RowRecord>> rows_;
};

}  // namespace qx::vellum::test
