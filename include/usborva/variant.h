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

/// An automation string: UTF-16 code units, may hold NULs (BSTR semantics).
using String = std::u16string;
/// A one-dimensional byte array with lower bound 0.
using ByteArray = std::vector<uint8_t>;

/// VARIANT_BOOL: True is -1, False is 0.
inline constexpr int16_t kVariantTrue = -1;
inline constexpr int16_t kVariantFalse = 0;  ///< VARIANT_BOOL False.

/// The subtype a Variant holds, with the automation VARTYPE it stands for.
enum class VarType {
  kEmpty,      ///< VT_EMPTY: nothing assigned yet
  kNull,       ///< VT_NULL: no valid data
  kInteger,    ///< VT_I2
  kLong,       ///< VT_I4
  kByte,       ///< VT_UI1
  kBoolean,    ///< VT_BOOL
  kDouble,     ///< VT_R8
  kString,     ///< VT_BSTR
  kByteArray,  ///< VT_ARRAY | VT_UI1
  kMissing,    ///< an optional argument the caller left out (VT_ERROR DISP_E_PARAMNOTFOUND)
};

/// The automation Variant, restricted to the subtypes the control meets.
class USBORVA_EXPORT Variant {
 public:
  Variant() = default;                        ///< Empty
  static Variant Null();                      ///< Null.
  static Variant Missing();                   ///< A left-out optional argument.
  static Variant FromInteger(int16_t value);  ///< An Integer (VT_I2).
  static Variant FromLong(int32_t value);     ///< A Long (VT_I4).
  static Variant FromByte(uint8_t value);     ///< A Byte (VT_UI1).
  static Variant FromBoolean(bool value);     ///< A Boolean: True (-1) or False (0).
  static Variant FromDouble(double value);    ///< A Double (VT_R8).
  static Variant FromString(String value);    ///< A String (VT_BSTR).
  static Variant FromBytes(ByteArray value);  ///< A Byte array (VT_ARRAY | VT_UI1).

  VarType type() const noexcept;  ///< The subtype held.
  /// An optional argument the caller left out.
  bool IsMissing() const noexcept { return type() == VarType::kMissing; }
  /// Nothing assigned (not Null, not Missing).
  bool IsEmpty() const noexcept { return type() == VarType::kEmpty; }

  /// Direct access to the stored value of the matching subtype; throws type mismatch (13)
  /// for any other subtype. Use the conversions below for the automation rules.
  int16_t integer() const;
  int32_t long_value() const;      ///< The Long held; 13 for any other subtype.
  uint8_t byte() const;            ///< The Byte held; 13 for any other subtype.
  bool boolean() const;            ///< The Boolean held; 13 for any other subtype.
  double dbl() const;              ///< The Double held; 13 for any other subtype.
  const String& string() const;    ///< The String held; 13 for any other subtype.
  const ByteArray& bytes() const;  ///< The Byte array held; 13 for any other subtype.

  /// Same subtype and same stored value, so Null equals Null and Integer 1 differs from
  /// Long 1; for equality of value by the automation rules, use ValueEquals.
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

/// The standard automation conversions (as the runtime's VariantChangeType does them, in the
/// invariant locale). Failures throw AutomationError: 13 type mismatch, 6 overflow, 94 invalid
/// use of Null.
///  - Null fails with 94 for every target; Missing (the runtime's VT_ERROR) with 13.
///  - numbers to text: 15 significant digits, trailing zeros dropped ("1.5", "-7", "0.1",
///    "1E+20", "1E-05"); Booleans "True" / "False"; Empty to "" (text) or 0 (numbers) or False.
///  - text to numbers: blanks around ignored, optional sign, decimal fractions and exponents,
///    or "&H" / "&O" prefixes without a sign. A hex or octal pattern fills the target's width:
///    "&HFFFF" is -1 as Integer but 65535 as Long, "&HFFFFFFFF" -1 as Long or Double, "&HFF"
///    255 as Byte; wider than 32 bits is overflow. Not numbers (13): "", thousands separators
///    ("1,000"), currency signs, parentheses, inner blanks, "True" / "False".
///  - to the integer types: rounded half to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), from the
///    digits as written; out of range, NaN or infinite is overflow. True is -1, so a Byte of
///    True overflows.
///  - text to Boolean: "True" / "False" in any case with blanks around, or any number (0 is
///    False).
///  - Byte array to text and back: UTF-16LE code units, low byte first (an odd last byte
///    becomes a code unit of its own). A Byte array is never a number or a Boolean, and only
///    text and Byte arrays have a Byte-array form (Empty and numbers: 13).
USBORVA_EXPORT String ToString(const Variant& v);
USBORVA_EXPORT int32_t ToLong(const Variant& v);         ///< To Long; see ToString for the rules.
USBORVA_EXPORT int16_t ToInteger(const Variant& v);      ///< To Integer; see ToString.
USBORVA_EXPORT uint8_t ToByte(const Variant& v);         ///< To Byte (0 to 255); see ToString.
USBORVA_EXPORT bool ToBoolean(const Variant& v);         ///< To Boolean; see ToString.
USBORVA_EXPORT double ToDouble(const Variant& v);        ///< To Double; see ToString.
USBORVA_EXPORT ByteArray ToByteArray(const Variant& v);  ///< To a Byte array; see ToString.

/// Equality of value, as the property bag decides omit-when-default: the numeric subtypes
/// (Integer, Long, Byte, Double, Boolean as -1 / 0) compare by value; text compares with text
/// exactly, Byte arrays element by element; Empty equals Empty, 0 and "". Text never equals
/// a number, and Null equals nothing (not even Null); Missing equals only Missing.
USBORVA_EXPORT bool ValueEquals(const Variant& a, const Variant& b);

/// Helpers at the edges (CLI, files): UTF-8 <-> UTF-16, invalid input replaced by U+FFFD.
USBORVA_EXPORT String Utf8ToString(std::string_view utf8);
/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD. Never throws except
/// std::bad_alloc.
USBORVA_EXPORT std::string StringToUtf8(const String& text);

}  // namespace usborva

#endif  // USBORVA_VARIANT_H_
