// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_VARIANT_H_
#define USBORVA_VARIANT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "usborva/export.h"

namespace usborva {

// An automation string: UTF-16 code units, may hold NULs (BSTR semantics).
using String = std::u16string;
// A one-dimensional byte array with lower bound 0.
using ByteArray = std::vector<uint8_t>;

// VARIANT_BOOL: True is -1, False is 0.
inline constexpr int16_t kVariantTrue = -1;
inline constexpr int16_t kVariantFalse = 0;

enum class VarType {
  kEmpty,
  kNull,
  kInteger,    // VT_I2
  kLong,       // VT_I4
  kByte,       // VT_UI1
  kBoolean,    // VT_BOOL
  kDouble,     // VT_R8
  kString,     // VT_BSTR
  kByteArray,  // VT_ARRAY | VT_UI1
  kMissing,    // an optional argument the caller left out (VT_ERROR DISP_E_PARAMNOTFOUND)
};

// The automation Variant, restricted to the subtypes the control meets.
class USBORVA_EXPORT Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant Missing();
  static Variant FromInteger(int16_t value);
  static Variant FromLong(int32_t value);
  static Variant FromByte(uint8_t value);
  static Variant FromBoolean(bool value);
  static Variant FromDouble(double value);
  static Variant FromString(String value);
  static Variant FromBytes(ByteArray value);

  VarType type() const noexcept;
  bool IsMissing() const noexcept { return type() == VarType::kMissing; }
  bool IsEmpty() const noexcept { return type() == VarType::kEmpty; }

  // Direct access to the stored value of the matching subtype; throws type mismatch (13)
  // for any other subtype. Use the conversions below for the automation rules.
  int16_t integer() const;
  int32_t long_value() const;
  uint8_t byte() const;
  bool boolean() const;
  double dbl() const;
  const String& string() const;
  const ByteArray& bytes() const;

  friend bool operator==(const Variant& a, const Variant& b) = default;

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  struct MissingTag {
    friend bool operator==(MissingTag, MissingTag) = default;
  };
  struct BoolBox {
    bool value;
    friend bool operator==(BoolBox, BoolBox) = default;
  };
  using Storage = std::variant<std::monostate, NullTag, int16_t, int32_t, uint8_t, BoolBox, double,
                               String, ByteArray, MissingTag>;
  explicit Variant(Storage storage) : storage_(std::move(storage)) {}
  Storage storage_;
};

// The standard automation conversions (as the runtime's VariantChangeType does them, in the
// invariant locale). Failures throw AutomationError: 13 type mismatch, 6 overflow, 94 invalid
// use of Null.
//  - Null fails with 94 for every target; Missing (the runtime's VT_ERROR) with 13.
//  - numbers to text: 15 significant digits, trailing zeros dropped ("1.5", "-7", "0.1",
//    "1E+20", "1E-05"); Booleans "True" / "False"; Empty to "" (text) or 0 (numbers) or False.
//  - text to numbers: blanks around ignored, optional sign, decimal fractions and exponents,
//    or "&H" / "&O" prefixes without a sign. A hex or octal pattern fills the target's width:
//    "&HFFFF" is -1 as Integer but 65535 as Long, "&HFFFFFFFF" -1 as Long or Double, "&HFF"
//    255 as Byte; wider than 32 bits is overflow. Not numbers (13): "", thousands separators
//    ("1,000"), currency signs, parentheses, inner blanks, "True" / "False".
//  - to the integer types: rounded half to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), from the
//    digits as written; out of range, NaN or infinite is overflow. True is -1, so a Byte of
//    True overflows.
//  - text to Boolean: "True" / "False" in any case with blanks around, or any number (0 is
//    False).
//  - Byte array to text and back: UTF-16LE code units, low byte first (an odd last byte
//    becomes a code unit of its own). A Byte array is never a number or a Boolean, and only
//    text and Byte arrays have a Byte-array form (Empty and numbers: 13).
USBORVA_EXPORT String ToString(const Variant& v);
USBORVA_EXPORT int32_t ToLong(const Variant& v);
USBORVA_EXPORT int16_t ToInteger(const Variant& v);
USBORVA_EXPORT uint8_t ToByte(const Variant& v);
USBORVA_EXPORT bool ToBoolean(const Variant& v);
USBORVA_EXPORT double ToDouble(const Variant& v);
USBORVA_EXPORT ByteArray ToByteArray(const Variant& v);

// Equality of value, as the property bag decides omit-when-default: the numeric subtypes
// (Integer, Long, Byte, Double, Boolean as -1 / 0) compare by value; text compares with text
// exactly, Byte arrays element by element; Empty equals Empty, 0 and "". Text never equals
// a number, and Null equals nothing (not even Null); Missing equals only Missing.
USBORVA_EXPORT bool ValueEquals(const Variant& a, const Variant& b);

// Helpers at the edges (CLI, files): UTF-8 <-> UTF-16, invalid input replaced by U+FFFD.
USBORVA_EXPORT String Utf8ToString(std::string_view utf8);
USBORVA_EXPORT std::string StringToUtf8(const String& text);

}  // namespace usborva

#endif  // USBORVA_VARIANT_H_
