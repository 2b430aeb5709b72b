#include "automation/variant.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "automation/dispatch.h"
#include "platform/code_page.h"

namespace qx::automation {

Variant::Variant(const Variant& other)
    : type_(other.type_), scalar_(other.scalar_), text_(other.text_), object_(other.object_) {
  if (object_ != nullptr) object_->addRef();
}

Variant::Variant(Variant&& other) noexcept
    : type_(other.type_),
      scalar_(other.scalar_),
      text_(std::move(other.text_)),
      object_(std::exchange(other.object_, nullptr)) {
  other.type_ = VarType::Empty;
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) *this = Variant(other);
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this == &other) return *this;
  // The old object goes last: releasing it may end what `other` belonged to.
  Dispatch* old = std::exchange(object_, std::exchange(other.object_, nullptr));
  type_ = std::exchange(other.type_, VarType::Empty);
  scalar_ = other.scalar_;
  text_ = std::move(other.text_);
  if (old != nullptr) old->release();
  return *this;
}

void Variant::releaseObject() noexcept {
  std::exchange(object_, nullptr)->release();
}

void Variant::setText(std::u16string_view value) {
  becomeText();
  text_.assign(value);
}

void Variant::becomeText() {
  if (object_ != nullptr) releaseObject();
  type_ = VarType::Bstr;
  scalar_.r8 = 0;
}

void Variant::setInteger(std::int32_t value) {
  if (object_ != nullptr) releaseObject();
  type_ = VarType::I4;
  scalar_.r8 = 0;
  scalar_.i32 = value;
  text_.clear();
}

void Variant::clear() noexcept {
  if (object_ != nullptr) std::exchange(object_, nullptr)->release();
  text_.clear();
  type_ = VarType::Empty;
  scalar_.r8 = 0;
}

Variant Variant::smallInteger(std::int16_t value) {
  Variant v;
  v.type_ = VarType::I2;
  v.scalar_.i32 = value;
  return v;
}

Variant Variant::integer(std::int32_t value) {
  Variant v;
  v.type_ = VarType::I4;
  v.scalar_.i32 = value;
  return v;
}

Variant Variant::unsignedInteger(std::uint32_t value) {
  Variant v;
  v.type_ = VarType::UI4;
  v.scalar_.u32 = value;
  return v;
}

Variant Variant::boolean(bool value) {
  Variant v;
  v.type_ = VarType::Bool;
  v.scalar_.i32 = value ? kVariantTrue : 0;
  return v;
}

Variant Variant::single(float value) {
  Variant v;
  v.type_ = VarType::R4;
  v.scalar_.r4 = value;
  return v;
}

Variant Variant::real(double value) {
  Variant v;
  v.type_ = VarType::R8;
  v.scalar_.r8 = value;
  return v;
}

Variant Variant::text(std::u16string value) {
  Variant v;
  v.type_ = VarType::Bstr;
  v.text_ = std::move(value);
  return v;
}

Variant Variant::error(std::int32_t code) {
  Variant v;
  v.type_ = VarType::Error;
  v.scalar_.i32 = code;
  return v;
}

Variant Variant::missing() {
  return error(kParamNotFound);
}

Variant Variant::adopt(Dispatch* object) {
  Variant v;
  v.type_ = VarType::Dispatch;
  v.object_ = object;
  return v;
}

namespace {
void require(VarType actual, VarType wanted) {
  if (actual != wanted) {
    throw std::logic_error(std::string("variant holds ") + typeName(actual) + ", not " +
                           typeName(wanted));
  }
}
}  // namespace

std::int16_t Variant::smallIntegerValue() const {
  require(type_, VarType::I2);
  return static_cast<std::int16_t>(scalar_.i32);
}
std::int32_t Variant::integerValue() const {
  require(type_, VarType::I4);
  return scalar_.i32;
}
std::uint32_t Variant::unsignedValue() const {
  require(type_, VarType::UI4);
  return scalar_.u32;
}
std::int16_t Variant::booleanValue() const {
  require(type_, VarType::Bool);
  return static_cast<std::int16_t>(scalar_.i32);
}
float Variant::singleValue() const {
  require(type_, VarType::R4);
  return scalar_.r4;
}
double Variant::realValue() const {
  require(type_, VarType::R8);
  return scalar_.r8;
}
const std::u16string& Variant::textValue() const {
  require(type_, VarType::Bstr);
  return text_;
}
std::int32_t Variant::errorValue() const {
  require(type_, VarType::Error);
  return scalar_.i32;
}
Dispatch* Variant::objectValue() const {
  require(type_, VarType::Dispatch);
  return object_;
}

Dispatch* Variant::takeObject() {
  require(type_, VarType::Dispatch);
  Dispatch* object = std::exchange(object_, nullptr);
  type_ = VarType::Empty;
  return object;
}

std::optional<std::int64_t> Variant::toInteger() const {
  switch (type_) {
    case VarType::I2:
    case VarType::I4:
    case VarType::Bool:
      return scalar_.i32;
    case VarType::UI4:
      return scalar_.u32;
    case VarType::R4:
    case VarType::R8: {
      const double value = type_ == VarType::R4 ? scalar_.r4 : scalar_.r8;
      if (!(value >= -9.2e18 && value <= 9.2e18)) return std::nullopt;
      return static_cast<std::int64_t>(value < 0 ? value - 0.5 : value + 0.5);
    }
    default:
      return std::nullopt;
  }
}

std::optional<double> Variant::toReal() const {
  switch (type_) {
    case VarType::R4:
      return scalar_.r4;
    case VarType::R8:
      return scalar_.r8;
    case VarType::I2:
    case VarType::I4:
    case VarType::Bool:
      return scalar_.i32;
    case VarType::UI4:
      return scalar_.u32;
    default:
      return std::nullopt;
  }
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty:
      return true;
    case VarType::R4:
      return a.scalar_.r4 == b.scalar_.r4;
    case VarType::R8:
      return a.scalar_.r8 == b.scalar_.r8;
    case VarType::UI4:
      return a.scalar_.u32 == b.scalar_.u32;
    case VarType::Bstr:  // bytewise: the character loop of u16string's == costs more
      return a.text_.size() == b.text_.size() &&
             std::memcmp(a.text_.data(), b.text_.data(), a.text_.size() * sizeof(char16_t)) == 0;
    case VarType::Dispatch:
      return a.object_ == b.object_;
    default:
      return a.scalar_.i32 == b.scalar_.i32;
  }
}

const char* typeName(VarType type) {
  switch (type) {
    case VarType::Empty:
      return "VT_EMPTY";
    case VarType::I2:
      return "VT_I2";
    case VarType::I4:
      return "VT_I4";
    case VarType::R4:
      return "VT_R4";
    case VarType::R8:
      return "VT_R8";
    case VarType::Bstr:
      return "VT_BSTR";
    case VarType::Dispatch:
      return "VT_DISPATCH";
    case VarType::Error:
      return "VT_ERROR";
    case VarType::Bool:
      return "VT_BOOL";
    case VarType::UI4:
      return "VT_UI4";
  }
  return "VT_?";
}

std::string describe(const Variant& value) {
  char buffer[64];
  switch (value.type()) {
    case VarType::Empty:
      return "EMPTY";
    case VarType::I2:
      std::snprintf(buffer, sizeof buffer, "I2 %d", value.smallIntegerValue());
      break;
    case VarType::I4:
      std::snprintf(buffer, sizeof buffer, "I4 %d", value.integerValue());
      break;
    case VarType::UI4:
      std::snprintf(buffer, sizeof buffer, "UI4 %u", value.unsignedValue());
      break;
    case VarType::Bool:
      std::snprintf(buffer, sizeof buffer, "BOOL %d", value.booleanValue());
      break;
    case VarType::R4:
      std::snprintf(buffer, sizeof buffer, "R4 %.9g", static_cast<double>(value.singleValue()));
      break;
    case VarType::R8:
      std::snprintf(buffer, sizeof buffer, "R8 %.17g", value.realValue());
      break;
    case VarType::Error:
      std::snprintf(buffer, sizeof buffer, "ERROR 0x%08X",
                    static_cast<unsigned>(value.errorValue()));
      break;
    case VarType::Dispatch:
      return value.objectValue() == nullptr ? "DISPATCH null" : "DISPATCH";
    case VarType::Bstr:
      return "BSTR \"" + platform::utf16ToUtf8(value.textValue()) + "\"";
  }
  return buffer;
}

}  // namespace qx::automation
