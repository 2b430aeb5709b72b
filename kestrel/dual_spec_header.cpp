#include "kestrel/dual_spec_header.h"

namespace qx::kestrel {

namespace {
constexpr std::size_t kHeaderTextWidth = 50;
constexpr std::size_t kSpecWidth = 256;

// Flag, row and column of each header text. The fourth text's triplet sits at 248; the twelve
// bytes at 236 belong to no text.
constexpr std::array<std::size_t, 4> kPlacementOffsets = {200, 212, 224, 248};

std::string textField(platform::Bytes record, std::size_t offset, std::size_t width) {
  return std::string(platform::textAt(record, offset, width));
}
}  // namespace

DualSpecHeader decodeDualSpecHeader(platform::Bytes record) {
  DualSpecHeader header;
  for (std::size_t k = 0; k < header.texts.size(); ++k) {
    HeaderText& text = header.texts[k];
    text.text = textField(record, k * kHeaderTextWidth, kHeaderTextWidth);
    const std::size_t placement = kPlacementOffsets[k];
    text.shown = platform::int32At(record, placement) != 0;
    text.row = platform::int32At(record, placement + 4);
    text.column = platform::int32At(record, placement + 8);
  }
  header.templatePath = textField(record, 260, 256);
  header.primarySpec = textField(record, 516, kSpecWidth);
  header.secondarySpec = textField(record, 772, kSpecWidth);
  header.startRow = platform::int32At(record, 1028);
  header.borderWeight = platform::int32At(record, 1032);
  return header;
}

}  // namespace qx::kestrel
