#pragma once
// The record layouts the host encodes, taken from the public header so that the host and the
// integrators' documentation cannot disagree. The exporters decode with their own tables; a
// layout mistake on either side shows in the end-to-end tests.

#include <cstddef>
#include <span>
#include <string_view>

namespace qx::host {

enum class FieldKind { Int32, Double, Text, Address };

struct FieldSpec {
  std::string_view name;
  std::size_t offset;
  std::size_t width;
  FieldKind kind;
};

// How much of a text an exporter writes into a cell: a longer one would be cut there.
struct CellTextLimit {
  std::size_t bytes = 0;    // 0: the whole slot
  std::string_view writer;  // who cuts it, for the refusal: "kestrel writes"
};

struct RecordLayout {
  std::string_view name;  // "QX_GROUP_TABLE_HEADER", as include/qx/host_records.h names it
  std::size_t size;
  std::span<const FieldSpec> fields;
  CellTextLimit cellText;  // of the texts the exporter writes into cells

  // The field of that name, or null.
  const FieldSpec* find(std::string_view field) const;
};

const RecordLayout& checkPointHeader();
const RecordLayout& checkPointRow();
const RecordLayout& groupTableHeader();
const RecordLayout& groupTableRow();
const RecordLayout& dualSpecHeader();
const RecordLayout& dualSpecRow();
const RecordLayout& resultHeader();
const RecordLayout& resultRow();

}  // namespace qx::host
