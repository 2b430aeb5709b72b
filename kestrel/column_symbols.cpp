#include "kestrel/column_symbols.h"

#include <algorithm>

#include "automation/code_page.h"

namespace qx::kestrel {

namespace {

struct Symbol {
  char symbol;
  ColumnField field;
};

constexpr ColumnField number(std::size_t offset) {
  return {FieldKind::Number, offset, 4};
}
constexpr ColumnField text(std::size_t offset, std::size_t width) {
  return {FieldKind::Text, offset, width};
}

constexpr Symbol kPrimary[] = {
    {'a', {FieldKind::Ordinal, 0, 0}},
    {'b', text(186, 31)},
    {'c', number(8)},
    {'d', text(217, 80)},
    {'e', text(297, 80)},
    {'f', text(377, 80)},
    {'g', text(567, 30)},
    {'h', text(537, 30)},
    {'i', text(597, 30)},
    {'j', text(457, 80)},
    {'k', text(627, 30)},
    {'l', text(1137, 80)},
    {'m', number(32)},
    {'n', text(36, 30)},
    {'o', text(96, 30)},
    {'p', number(12)},
    {'q', number(20)},
    {'r', text(126, 30)},
    {'s', text(156, 30)},
    {'t', number(24)},
    {'u', number(28)},
    {'v', text(1217, 30)},
    {'w', text(1247, 30)},
    {'x', text(1277, 256)},
    {'y', text(1533, 80)},
    {'z', {FieldKind::Keep, 0, 0}},
    {'1', number(4)},
    {'2', text(657, 80)},
    {'3', text(737, 80)},
    {'4', text(817, 80)},
    {'5', text(897, 80)},
    {'6', text(977, 80)},
    {'7', text(1057, 80)},
    {'8', text(66, 30)},
    {'9', number(16)},
    {'0', text(2205, 80)},
    {'!', text(2125, 80)},
    {'#', text(1613, 256)},
    {'$', text(1869, 256)},
    {'&', text(2857, 257)},
    {'(', text(2345, 256)},
    {')', text(2601, 256)},
    {'*', text(3194, 80)},
    {'<', text(3114, 80)},
    {'>', text(2315, 30)},
    {'[', text(2285, 30)},
    {']', text(3834, 80)},
};

constexpr Symbol kSecondary[] = {
    {'a', text(3274, 80)}, {'b', text(3354, 80)},  {'c', text(3434, 80)},
    {'d', text(3514, 80)}, {'e', text(3914, 80)},  {'f', text(3754, 80)},
    {'g', text(3674, 80)}, {'h', text(3594, 80)},  {'i', text(3994, 80)},
    {'j', text(4074, 80)}, {'k', text(4154, 80)},  {'l', text(4234, 80)},
    {'m', text(4314, 80)}, {'n', text(4394, 80)},  {'o', text(4474, 80)},
    {'p', text(4554, 80)}, {'q', text(5194, 256)}, {'z', {FieldKind::Keep, 0, 0}},
};

template <std::size_t N>
std::optional<ColumnField> find(const Symbol (&table)[N], char symbol) {
  const auto it = std::find_if(std::begin(table), std::end(table),
                               [&](const Symbol& s) { return s.symbol == symbol; });
  if (it == std::end(table)) return std::nullopt;
  return it->field;
}

std::string limitedText(std::string_view text) {
  return std::string(text.substr(0, automation::gbkPrefixLength(text, kCellTextLimit)));
}

}  // namespace

std::optional<ColumnField> primaryField(char symbol) {
  return find(kPrimary, symbol);
}

std::optional<ColumnField> secondaryField(char symbol) {
  return find(kSecondary, symbol);
}

std::string cellText(const ColumnField& field, platform::Bytes row, int ordinal) {
  switch (field.kind) {
    case FieldKind::Ordinal:
      return std::to_string(ordinal);
    case FieldKind::Number:
      return std::to_string(platform::int32At(row, field.offset));
    case FieldKind::Text:
      return limitedText(platform::textAt(row, field.offset, field.width));
    case FieldKind::Keep:
      break;
  }
  return {};
}

bool optionBlockShown(platform::Bytes row) {
  return platform::textAt(row, kOptionOffsets[0], kOptionWidth) == kOptionMarker;
}

}  // namespace qx::kestrel
