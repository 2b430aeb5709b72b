#pragma once
// The host's records laid out byte by byte, as the calculation program fills them: fields are
// placed at their offsets, texts are GBK with a NUL, and rows are linked by address.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/record_fields.h"

namespace qx::vellum::test {

namespace header_fields = platform::records::group_table_header;
namespace row_fields = platform::records::group_table_row;

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
  // The same, at a field of the shared layout.
  void int32(platform::Int32Field field, std::int32_t value) { int32(field.offset, value); }
  void real(platform::DoubleField field, double value) { real(field.offset, value); }
  void text(platform::TextField field, std::string_view utf8) {
    text(field.offset, field.width, utf8);
  }
  void raw(platform::TextField field, std::string_view bytes) { raw(field.offset, bytes); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

class HeaderRecord : public HostBytes {
 public:
  HeaderRecord() : HostBytes(header_fields::kSize) {}
  // Slot numbers as the host counts them (1..24); each sets show flag, row, column and text.
  void slot(int number, bool shown, int row, int column, std::string_view utf8);
  void picture(bool place, std::string_view firstCell, std::string_view lastCell);
  void borderWeight(int weight) { int32(header_fields::border_weight, weight); }
  void startRow(int row) { int32(header_fields::start_row, row); }
  void groupColumn(int column) { int32(header_fields::group_column, column); }
  void timeFormat(bool on) { int32(header_fields::time_format, on ? 1 : 0); }
  void templatePath(std::string_view utf8) { text(header_fields::template_path, utf8); }
  void columnSpec(std::string_view letters) { text(header_fields::column_spec, letters); }
  void referenceValue(double value) { real(header_fields::reference_value, value); }
  void eCorrection(double value) { real(header_fields::e_correction, value); }
  void xCorrection(double value) { real(header_fields::x_correction, value); }
  void yCorrection(double value) { real(header_fields::y_correction, value); }
};

// One row record; the link to the next is set by RowList.
class RowRecord : public HostBytes {
 public:
  RowRecord() : HostBytes(row_fields::kSize) {}
  void groupKey(std::string_view utf8) { text(row_fields::group_key, utf8); }
  void minutes(double value) { real(row_fields::time_value, value); }
  void level(double value) { real(row_fields::level_value, value); }
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
