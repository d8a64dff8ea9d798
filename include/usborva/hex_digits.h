// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HEX_DIGITS_H_
#define USBORVA_HEX_DIGITS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace usborva {

/// @file
/// The one hex alphabet and the one hex-digit reader of the product. Everything that writes
/// or reads hexadecimal text (reports, IDs, escapes, file literals) goes through these, so
/// the case rules cannot drift between a writer and its reader. Header only and free of any
/// module, so the lowest layer (the automation rules' "&H" numbers) can use it too.

/// The sixteen digits as the product writes them: upper case.
inline constexpr std::string_view kHexDigits = "0123456789ABCDEF";

/// The digit for the low four bits of value, upper case.
constexpr char HexDigit(unsigned value) noexcept { return kHexDigits[value & 0xF]; }

/// The same in lower case, for the places whose readers expect it (USB IDs as lsusb and udev
/// write them, JSON's `\u` escapes).
constexpr char LowerHexDigit(unsigned value) noexcept {
  const char digit = HexDigit(value);
  return digit >= 'A' ? static_cast<char>(digit - 'A' + 'a') : digit;
}

/// The value of a hex digit in either case, -1 for any other character (of any width, so a
/// UTF-16 unit or a code point that only looks like a digit is refused, not truncated).
constexpr int HexDigitValue(char32_t c) noexcept {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
  return -1;
}

/// Overloads for the narrow and UTF-16 text the callers hold: a char is a byte (0x80 to 0xFF
/// are no digits), never a negative code point.
constexpr int HexDigitValue(char c) noexcept {
  return HexDigitValue(static_cast<char32_t>(static_cast<unsigned char>(c)));
}
/// The value of a UTF-16 unit as a hex digit, -1 for any other.
constexpr int HexDigitValue(char16_t c) noexcept { return HexDigitValue(static_cast<char32_t>(c)); }

/// Whether c is a hex digit in either case.
constexpr bool IsHexDigit(char c) noexcept { return HexDigitValue(c) >= 0; }

/// Appends the two upper-case digits of byte, high nibble first.
inline void AppendHexByte(std::string& out, uint8_t byte) {
  out += HexDigit(byte >> 4);
  out += HexDigit(byte);
}

}  // namespace usborva

#endif  // USBORVA_HEX_DIGITS_H_
