#pragma once
// A value passed to or from the spreadsheet server: the VARIANT kinds the system exchanges.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx::automation {

class Dispatch;

// VARIANT type codes, as COM numbers them.
enum class VarType : std::uint16_t {
  Empty = 0,
  I2 = 2,
  I4 = 3,
  R4 = 4,
  R8 = 5,
  Bstr = 8,
  Dispatch = 9,
  Error = 10,
  Bool = 11,
  UI4 = 19,
};

// The error code that marks an omitted optional argument (DISP_E_PARAMNOTFOUND).
inline constexpr std::int32_t kParamNotFound = static_cast<std::int32_t>(0x80020004u);
// VARIANT_TRUE: a Boolean true travels as -1, not 1.
inline constexpr std::int16_t kVariantTrue = -1;

// One value of the kinds above. A variant that carries an object owns one reference to it;
// copying adds a reference, destroying releases it, and takeObject() moves it out.
class Variant {
 public:
  Variant() = default;  // VT_EMPTY
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  // Inline: a report builds and drops several argument variants per cell.
  ~Variant() {
    if (object_ != nullptr) releaseObject();
  }

  static Variant smallInteger(std::int16_t value);
  static Variant integer(std::int32_t value);
  static Variant unsignedInteger(std::uint32_t value);
  static Variant boolean(bool value);
  static Variant single(float value);
  static Variant real(double value);
  static Variant text(std::u16string value);
  // Makes this variant the text `value`, reusing the room its earlier text had.
  void setText(std::u16string_view value);
  // Makes this variant a text that `fill` writes into the room of its earlier text (passed as
  // a std::u16string&), so the text is produced in place rather than copied in.
  template <typename Fill>
  void fillText(Fill&& fill) {
    becomeText();
    fill(text_);
  }
  // Makes this variant the 32-bit integer `value` (VT_I4), keeping its text room.
  void setInteger(std::int32_t value);
  static Variant error(std::int32_t code);
  // The missing argument: VT_ERROR carrying DISP_E_PARAMNOTFOUND.
  static Variant missing();
  // Takes over one reference of object; a null object gives a VT_DISPATCH holding null.
  static Variant adopt(Dispatch* object);

  VarType type() const { return type_; }
  bool isEmpty() const { return type_ == VarType::Empty; }
  bool isMissing() const { return type_ == VarType::Error && scalar_.i32 == kParamNotFound; }

  // Raw accessors; each requires the matching type (checked, throws std::logic_error).
  std::int16_t smallIntegerValue() const;
  std::int32_t integerValue() const;
  std::uint32_t unsignedValue() const;
  std::int16_t booleanValue() const;  // -1 or 0 as stored
  float singleValue() const;
  double realValue() const;
  const std::u16string& textValue() const;
  std::int32_t errorValue() const;
  Dispatch* objectValue() const;  // borrowed, may be null

  // Hands the carried reference to the caller and leaves this variant empty.
  Dispatch* takeObject();

  // Coercions a server applies to incoming arguments. Empty optional when the kind does not fit.
  std::optional<std::int64_t> toInteger() const;
  std::optional<double> toReal() const;

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  void clear() noexcept;
  void releaseObject() noexcept;
  void becomeText();

  VarType type_ = VarType::Empty;
  union Scalar {
    std::int32_t i32;  // I2, I4, Bool, Error
    std::uint32_t u32;
    float r4;
    double r8;
  } scalar_{};
  std::u16string text_;
  Dispatch* object_ = nullptr;
};

// "I4 3", "BSTR \"AA5\"" (UTF-8), "ERROR 0x80020004": one value for logs and test messages.
std::string describe(const Variant& value);

// The name COM gives the type ("VT_I4").
const char* typeName(VarType type);

}  // namespace qx::automation
