#include "kestrel/column_symbols.h"

#include <algorithm>

#include "platform/code_page.h"

namespace qx::kestrel {

namespace {

struct Symbol {
  char symbol;
  ColumnField field;
};

namespace fields = platform::records::dual_spec_row;

constexpr ColumnField number(platform::Int32Field field) {
  return {FieldKind::Number, field.offset, field.width};
}
constexpr ColumnField text(platform::TextField field) {
  return {FieldKind::Text, field.offset, field.width};
}

constexpr Symbol kPrimary[] = {
    {'a', {FieldKind::Ordinal, 0, 0}},     {'b', text(fields::primary_b)},
    {'c', number(fields::primary_c)},      {'d', text(fields::primary_d)},
    {'e', text(fields::primary_e)},        {'f', text(fields::primary_f)},
    {'g', text(fields::primary_g)},        {'h', text(fields::primary_h)},
    {'i', text(fields::primary_i)},        {'j', text(fields::primary_j)},
    {'k', text(fields::primary_k)},        {'l', text(fields::primary_l)},
    {'m', number(fields::primary_m)},      {'n', text(fields::primary_n)},
    {'o', text(fields::primary_o)},        {'p', number(fields::primary_p)},
    {'q', number(fields::primary_q)},      {'r', text(fields::primary_r)},
    {'s', text(fields::primary_s)},        {'t', number(fields::primary_t)},
    {'u', number(fields::primary_u)},      {'v', text(fields::primary_v)},
    {'w', text(fields::primary_w)},        {'x', text(fields::primary_x)},
    {'y', text(fields::primary_y)},        {'z', {FieldKind::Keep, 0, 0}},
    {'1', number(fields::primary_1)},      {'2', text(fields::primary_2)},
    {'3', text(fields::primary_3)},        {'4', text(fields::primary_4)},
    {'5', text(fields::primary_5)},        {'6', text(fields::primary_6)},
    {'7', text(fields::primary_7)},        {'8', text(fields::primary_8)},
    {'9', number(fields::primary_9)},      {'0', text(fields::primary_0)},
    {'!', text(fields::primary_bang)},     {'#', text(fields::primary_hash)},
    {'$', text(fields::primary_dollar)},   {'&', text(fields::primary_amp)},
    {'(', text(fields::primary_lparen)},   {')', text(fields::primary_rparen)},
    {'*', text(fields::primary_star)},     {'<', text(fields::primary_lt)},
    {'>', text(fields::primary_gt)},       {'[', text(fields::primary_lbracket)},
    {']', text(fields::primary_rbracket)},
};

constexpr Symbol kSecondary[] = {
    {'a', text(fields::secondary_a)}, {'b', text(fields::secondary_b)},
    {'c', text(fields::secondary_c)}, {'d', text(fields::secondary_d)},
    {'e', text(fields::secondary_e)}, {'f', text(fields::secondary_f)},
    {'g', text(fields::secondary_g)}, {'h', text(fields::secondary_h)},
    {'i', text(fields::secondary_i)}, {'j', text(fields::secondary_j)},
    {'k', text(fields::secondary_k)}, {'l', text(fields::secondary_l)},
    {'m', text(fields::secondary_m)}, {'n', text(fields::secondary_n)},
    {'o', text(fields::secondary_o)}, {'p', text(fields::secondary_p)},
    {'q', text(fields::secondary_q)}, {'z', {FieldKind::Keep, 0, 0}},
};

template <std::size_t N>
std::optional<ColumnField> find(const Symbol (&table)[N], char symbol) {
  const auto it = std::find_if(std::begin(table), std::end(table),
                               [&](const Symbol& s) { return s.symbol == symbol; });
  if (it == std::end(table)) return std::nullopt;
  return it->field;
}

std::string limitedText(std::string_view text) {
  return std::string(text.substr(0, platform::gbkPrefixLength(text, kCellTextLimit)));
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
  return platform::RecordView(row).text(kOptions[0]) == kOptionMarker;
}

}  // namespace qx::kestrel
