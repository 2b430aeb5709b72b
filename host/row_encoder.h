#pragma once
// The rows of a description encoded straight from the parser's events: each member's value
// goes into its slot as it is read, and no row is ever held as a value.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/description.h"
#include "host/field_encoding.h"

namespace qx::host {

class RowEncoder {
 public:
  // Encodes into d.rows with `layout`; with none, only notes the rows' pictures. Resets what
  // `d` held of earlier rows.
  RowEncoder(Description& d, const RecordLayout* layout);

  // The rows' objects, in order: startRow, then key and value for each member (a value that
  // is an object or an array comes as Other), then endRow.
  void startRow(std::size_t index);
  void key(std::string_view name);
  void value(const FieldValue& value);
  void endRow();

 private:
  // A field refused in this row: told, if it is the first in the row's order, when the row
  // ends, unless a later value of the same member is accepted first.
  struct Refused {
    std::size_t place;  // of the member's first occurrence among the row's names
    int field;          // -1: no field of that name
    std::string name;
    std::string what;
  };

  int lookUp(std::string_view name) const;

  Description& d_;
  const RecordLayout* layout_;
  std::filesystem::path folder_;
  std::size_t row_ = 0;
  std::uint8_t* record_ = nullptr;  // null: the row is not encoded
  std::size_t keys_ = 0;            // the members read of the row
  std::size_t names_ = 0;           // the distinct names among them
  int field_ = -1;                  // the last member's field; -1 for none
  bool again_ = false;              // the last member was named before in the row
  bool picture_ = false;            // the last member is picture_path
  std::optional<std::string> picturePath_;
  std::vector<int> expected_;            // by member, the fields of the last row
  std::vector<std::size_t> namedInRow_;  // by field, 1 + the last row that named it
  std::vector<std::size_t> placeInRow_;  // by field, its place among the row's names
  std::vector<Refused> refused_;
};

}  // namespace qx::host
