#pragma once
// The host's records laid out byte by byte for the tests, as the calculation program fills them:
// every field put in through the shared field tables of platform/record_fields.h, texts as code
// page 936 bytes, rows linked by address. One kit for every exporter's records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "platform/record_fields.h"
#include "platform/record_view.h"

namespace qx::testing {

// A header text's four fields: the text, its switch, its row and its column.
struct TextSlot {
  platform::TextField text;
  platform::Int32Field shown, row, column;
};

// A zero-filled record of fixed size that keeps its address; every setter returns the record.
class RecordBytes {
 public:
  explicit RecordBytes(std::size_t size) : bytes_(size, 0) {}

  RecordBytes& int32(platform::Int32Field field, std::int32_t value) {
    writer().int32(field, value);
    return *this;
  }
  RecordBytes& real(platform::DoubleField field, double value) {
    writer().real(field, value);
    return *this;
  }
  // `gbk` with a NUL after it when there is room: a text as long as its slot keeps none.
  RecordBytes& text(platform::TextField field, std::string_view gbk) {
    if (gbk.size() > field.width) throw std::length_error("text longer than its slot");
    writer().text(field, gbk);
    return *this;
  }
  // The same at a written-out offset, as the C header's constants name them.
  RecordBytes& int32(std::size_t offset, std::int32_t value) {
    return int32(platform::Int32Field{offset, 4}, value);
  }
  RecordBytes& real(std::size_t offset, double value) {
    return real(platform::DoubleField{offset, 8}, value);
  }
  RecordBytes& text(std::size_t offset, std::string_view gbk) {
    return raw(offset, std::string(gbk) + '\0');
  }
  RecordBytes& utf8Text(platform::TextField field, std::string_view utf8) {
    return text(field, platform::utf8ToGbk(utf8));
  }
  // Bytes from `offset` (or the start of `field`) on, no NUL added: a slot filled to its last
  // byte, several slots in one go, or bytes only the host reads. Never past the record.
  RecordBytes& raw(std::size_t offset, std::string_view bytes) {
    if (offset + bytes.size() > bytes_.size()) throw std::out_of_range("past the record");
    bytes_.replace(offset, bytes.size(), bytes);
    return *this;
  }
  RecordBytes& raw(platform::TextField field, std::string_view bytes) {
    return raw(field.offset, bytes);
  }
  RecordBytes& address(platform::AddressField field, const void* target) {
    writer().address(field, reinterpret_cast<std::uintptr_t>(target));
    return *this;
  }
  // A header text with its row, column and switch (any value but 0 shows it).
  RecordBytes& slot(const TextSlot& slot, std::string_view gbk, std::int32_t row,
                    std::int32_t column, std::int32_t shown = 1) {
    return text(slot.text, gbk)
        .int32(slot.shown, shown)
        .int32(slot.row, row)
        .int32(slot.column, column);
  }

  platform::RecordView view() const { return platform::RecordView(bytes()); }
  std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(bytes_.data()); }
  const std::uint8_t* data() const { return reinterpret_cast<const std::uint8_t*>(bytes_.data()); }
  std::size_t size() const { return bytes_.size(); }
  platform::Bytes bytes() const { return {data(), size()}; }
  const std::string& str() const { return bytes_; }

 private:
  platform::RecordWriter writer() { return platform::RecordWriter({data(), size()}); }

  std::string bytes_;
};

// Records of one size in the host's memory, each added one linked behind the last through
// `link`; they keep their addresses.
class RecordList {
 public:
  RecordList(std::size_t size, platform::AddressField link) : size_(size), link_(link) {}

  RecordBytes& add() {
    records_.emplace_back(size_);
    if (records_.size() > 1) records_[records_.size() - 2].address(link_, records_.back().data());
    return records_.back();
  }
  // The first record, or null for an empty list.
  const std::uint8_t* first() const { return records_.empty() ? nullptr : records_[0].data(); }
  RecordBytes& operator[](std::size_t i) { return records_[i]; }
  std::size_t size() const { return records_.size(); }

 private:
  std::size_t size_;
  platform::AddressField link_;
  std::deque<RecordBytes> records_;
};

// Many records in one block, linked in order, the way a host with a long report holds them.
// Pages the block does not touch cost nothing, so a chain of hundreds of thousands of records
// stays affordable.
class RecordBlock {
 public:
  // `count` zero-filled records of `size` bytes; each one's link names the next, the last's is
  // null.
  RecordBlock(std::size_t count, std::size_t size, platform::AddressField link)
      : base_(static_cast<std::uint8_t*>(std::calloc(count == 0 ? 1 : count, size))),
        count_(count),
        size_(size),
        link_(link) {
    if (base_ == nullptr) throw std::bad_alloc();
    for (std::size_t i = 0; i + 1 < count; ++i) this->link(i, record(i + 1));
  }
  ~RecordBlock() { std::free(base_); }
  RecordBlock(const RecordBlock&) = delete;
  RecordBlock& operator=(const RecordBlock&) = delete;

  std::uint8_t* record(std::size_t i) const { return base_ + i * size_; }
  std::uint8_t* first() const { return count_ == 0 ? nullptr : base_; }
  std::size_t count() const { return count_; }

  // Points record i's link at `next` (null ends the chain; an earlier record makes a loop).
  void link(std::size_t i, const void* next) {
    writer(i).address(link_, reinterpret_cast<std::uintptr_t>(next));
  }
  // The `length` bytes of `text` (no NUL added) in the field of every record.
  void fillAll(platform::TextField field, const void* text, std::size_t length) {
    for (std::size_t i = 0; i < count_; ++i) std::memcpy(record(i) + field.offset, text, length);
  }

 private:
  platform::RecordWriter writer(std::size_t i) const {
    return platform::RecordWriter({record(i), size_});
  }

  std::uint8_t* base_;
  std::size_t count_, size_;
  platform::AddressField link_;
};

// A check-point body record with its four texts, and the host's own bytes after them.
inline std::string checkPointRow(std::string_view a, std::string_view b, std::string_view c,
                                 std::string_view d) {
  namespace row = platform::records::check_point_row;
  static_assert(row::kSize - row::field_d.end() == 8);
  return RecordBytes(row::kSize)
      .text(row::field_a, a)
      .text(row::field_b, b)
      .text(row::field_c, c)
      .text(row::field_d, d)
      .raw(row::field_d.end(), "hosttail")
      .str();
}

// A check-point data file: the header, then the body records.
inline std::string checkPointFile(const RecordBytes& header,
                                  const std::vector<std::string>& rows = {}) {
  std::string file = header.str();
  for (const std::string& row : rows) file += row;
  return file;
}

// The host's side of a call that hands its records over by address: a header block, a chain
// of row records, and the transfer record the data file carries with their addresses.
class ResultHost {
 public:
  // A new row record at the end of the chain; the header's record count follows the chain.
  RecordBytes& addRow() {
    RecordBytes& row = rows.add();
    header.int32(platform::records::result_header::record_count,
                 static_cast<std::int32_t>(rows.size()));
    return row;
  }

  // The header's body rows: the report's rows from `first` to `last` (a page's, when paged).
  ResultHost& bodyRows(std::int32_t first, std::int32_t last) {
    header.int32(platform::records::result_header::first_body_row, first)
        .int32(platform::records::result_header::last_body_row, last);
    return *this;
  }
  // The header's pagination and the two switches beside it.
  ResultHost& pagination(bool paged, bool switchA, bool switchB) {
    header.int32(platform::records::result_header::pagination, paged)
        .int32(platform::records::result_header::switch_a, switchA)
        .int32(platform::records::result_header::switch_b, switchB);
    return *this;
  }

  // The transfer record as the host writes it: `size` bytes, the two addresses (the first row's
  // or `firstRow`) and 0xEE after them.
  std::string transferRecord(std::size_t size = platform::records::result_transfer::kSize,
                             bool withHeader = true, const void* firstRow = nullptr) const {
    namespace transfer = platform::records::result_transfer;
    std::string bytes(std::max(size, transfer::first_row.end()), '\xEE');
    platform::RecordWriter record({reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
    record.address(transfer::header_block,
                   withHeader ? reinterpret_cast<std::uintptr_t>(header.data()) : 0);
    record.address(transfer::first_row,
                   reinterpret_cast<std::uintptr_t>(firstRow != nullptr ? firstRow : rows.first()));
    return bytes.substr(0, size);
  }

  RecordBytes header{platform::records::result_header::kSize};
  RecordList rows{platform::records::result_row::kSize, platform::records::result_row::next};
};

// The result row's eight extra columns, written when the first holds exactly "是".
inline constexpr platform::TextField kResultExtraColumns[] = {
    platform::records::result_row::extra_1, platform::records::result_row::extra_2,
    platform::records::result_row::extra_3, platform::records::result_row::extra_4,
    platform::records::result_row::extra_5, platform::records::result_row::extra_6,
    platform::records::result_row::extra_7, platform::records::result_row::extra_8};

// The header texts of each layout, in the host's numbering (slot n at [n - 1]).
namespace slots {
#define QX_SLOT(layout, text, shown, row, column)            \
  TextSlot {                                                 \
    layout::text, layout::shown, layout::row, layout::column \
  }
namespace cp = platform::records::check_point_header;
inline constexpr TextSlot kCheckPoint[] = {QX_SLOT(cp, text1, text1_flag, text1_row, text1_col),
                                           QX_SLOT(cp, text2, text2_flag, text2_row, text2_col),
                                           QX_SLOT(cp, text3, text3_flag, text3_row, text3_col)};
#define QX_GT(n) QX_SLOT(gt, slot##n##_text, slot##n##_show, slot##n##_row, slot##n##_column)
namespace gt = platform::records::group_table_header;
inline constexpr TextSlot kGroupTable[] = {
    QX_GT(1),  QX_GT(2),  QX_GT(3),  QX_GT(4),  QX_GT(5),  QX_GT(6),  QX_GT(7),  QX_GT(8),
    QX_GT(9),  QX_GT(10), QX_GT(11), QX_GT(12), QX_GT(13), QX_GT(14), QX_GT(15), QX_GT(16),
    QX_GT(17), QX_GT(18), QX_GT(19), QX_GT(20), QX_GT(21), QX_GT(22), QX_GT(23), QX_GT(24)};
#undef QX_GT
#define QX_DS(n) QX_SLOT(ds, header_text##n, show_flag##n, header_row##n, header_column##n)
namespace ds = platform::records::dual_spec_header;
inline constexpr TextSlot kDualSpec[] = {QX_DS(1), QX_DS(2), QX_DS(3), QX_DS(4)};
#undef QX_DS
#define QX_RS(n) QX_SLOT(rs, header_text##n, text##n##_enabled, text##n##_row, text##n##_column)
namespace rs = platform::records::result_header;
inline constexpr TextSlot kResult[] = {QX_RS(1), QX_RS(2), QX_RS(3), QX_RS(4), QX_RS(5)};
#undef QX_RS
#undef QX_SLOT
}  // namespace slots

// Short names of the record layouts, for tests that build records of several exporters
// (`using namespace qx::testing::layouts;`).
namespace layouts {
namespace cp = platform::records::check_point_header;
namespace gt = platform::records::group_table_header;
namespace gtr = platform::records::group_table_row;
namespace ds = platform::records::dual_spec_header;
namespace dsr = platform::records::dual_spec_row;
namespace rs = platform::records::result_header;
namespace rr = platform::records::result_row;
}  // namespace layouts

}  // namespace qx::testing
