#include "host/row_encoder.h"

#include <algorithm>
#include <cstring>

#include "host/json_lines.h"

namespace qx::host {

namespace {
constexpr std::string_view kPicturePath = "picture_path";
}  // namespace

RowEncoder::RowEncoder(Description& d, const RecordLayout* layout)
    : d_(d), layout_(layout), folder_(d.folder) {
  d_.rows = layout ? RecordList(layout->size) : RecordList();
  d_.rowPictures.clear();
  d_.rowRefusal.reset();
  if (layout) {
    namedInRow_.assign(layout->fields.size(), 0);
    placeInRow_.assign(layout->fields.size(), 0);
  }
}

void RowEncoder::startRow(std::size_t index) {
  row_ = index;
  keys_ = 0;
  names_ = 0;
  field_ = -1;
  picture_ = false;
  picturePath_.reset();
  refused_.clear();
  record_ = layout_ != nullptr && !d_.rowRefusal ? d_.rows.append().data() : nullptr;
}

int RowEncoder::lookUp(std::string_view name) const {
  const FieldSpec* spec = layout_->find(name);
  return spec ? static_cast<int>(spec - layout_->fields.data()) : -1;
}

void RowEncoder::key(std::string_view name) {
  picture_ = name == kPicturePath;
  if (record_ == nullptr) return;
  // Rows name their members in the same order, as a rule: the last row's field is tried first.
  const std::size_t member = keys_++;
  if (member >= expected_.size()) expected_.resize(member + 1, -1);
  int& expected = expected_[member];
  if (expected < 0 || layout_->fields[expected].name != name) expected = lookUp(name);
  field_ = expected;
  if (field_ < 0) {
    // No value makes an unknown name right: refused at its first place.
    const auto before = std::find_if(refused_.begin(), refused_.end(), [&](const Refused& r) {
      return r.field < 0 && r.name == name;
    });
    if (before == refused_.end()) {
      refused_.push_back({names_++, -1, std::string(name), unknownFieldRefusal(*layout_)});
    }
    return;
  }
  again_ = namedInRow_[field_] == row_ + 1;
  if (!again_) {
    namedInRow_[field_] = row_ + 1;
    placeInRow_[field_] = names_++;
  }
}

void RowEncoder::value(const FieldValue& value) {
  if (picture_) {
    picturePath_.reset();
    if (value.kind == FieldValue::Kind::Text && !value.text.empty())
      picturePath_.emplace(value.text);
  }
  if (record_ == nullptr || field_ < 0) return;
  // Of a member named twice the last value counts, at the first one's place.
  const FieldSpec& spec = layout_->fields[field_];
  if (again_) std::memset(record_ + spec.offset, 0, spec.width);
  std::optional<std::string> what = encodeField(spec, value, folder_, record_, layout_->cellText);
  if (!what && !again_) return;
  const auto before = std::find_if(refused_.begin(), refused_.end(),
                                   [&](const Refused& r) { return r.field == field_; });
  if (!what) {
    if (before != refused_.end()) refused_.erase(before);
  } else if (before != refused_.end()) {
    before->what = std::move(*what);
  } else {
    refused_.push_back({placeInRow_[field_], field_, std::string(spec.name), std::move(*what)});
  }
}

void RowEncoder::endRow() {
  if (picturePath_) d_.rowPictures.push_back({row_, std::move(*picturePath_)});
  picturePath_.reset();
  if (record_ == nullptr || refused_.empty()) return;
  const Refused& first =
      *std::min_element(refused_.begin(), refused_.end(),
                        [](const Refused& a, const Refused& b) { return a.place < b.place; });
  d_.rowRefusal =
      Refusal{"/rows/" + std::to_string(row_) + "/" + escapePointerToken(first.name), first.what};
  d_.rows.clear();  // refused: the records are never handed over
  record_ = nullptr;
}

}  // namespace qx::host
