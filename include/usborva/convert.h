// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONVERT_H_
#define USBORVA_CONVERT_H_

#include <cstdint>
#include <span>

#include "usborva/export.h"
#include "usborva/variant.h"

/// The byte <-> text conversions every part of the control uses, so the text forms are the
/// same everywhere. All are pure. Failures throw AutomationError and return no partial
/// text: 9 (subscript out of range) for a range outside the buffer or a pair past its end,
/// 13 (type mismatch) for a pair that is not hexadecimal, 6 (overflow) for HexToText input
/// longer than 32,766 characters.
///
/// A range is a start index and a count; a count below 1 is an empty range whatever the
/// start. One character per byte is Windows-1252.
namespace usborva::convert {

/// Unseparated upper-case hex: {0x0E, 0x10, 0x05} -> "0E1005".
USBORVA_EXPORT String BytesToHex(std::span<const uint8_t> buffer, int32_t start, int32_t count);
/// One space between bytes, none around: {0x0E, 0x10, 0x05} -> "0E 10 05".
USBORVA_EXPORT String BytesToHexSpaced(std::span<const uint8_t> buffer, int32_t start,
                                       int32_t count);
/// One character per byte: {0x25, 0x42, 0x34} -> "%B4".
USBORVA_EXPORT String BytesToText(std::span<const uint8_t> buffer, int32_t start, int32_t count);
/// Pairs of hex digits (either case) to one character each; an odd last digit stands alone.
USBORVA_EXPORT String HexToText(const String& hex);
/// Spaces removed anywhere, then pairs into bytes 0, 1, 2, ... of an n-byte zero buffer.
/// Each pair is read before it is stored, so a bad pair past the end is 13, not 9.
USBORVA_EXPORT ByteArray HexToBytes(const String& text, int32_t n);
/// The same into an existing buffer (zero it first yourself): bytes parsed before a
/// failing pair stay written.
USBORVA_EXPORT void HexToBytesInto(const String& text, std::span<uint8_t> buffer);
/// Product ID as upper-case hex without leading zeros, at least two digits: 0x0ABC -> "ABC".
USBORVA_EXPORT String FormatReaderID(int16_t product_id);

/// Windows-1252: the character of a byte, and the byte of a character (nullopt-free: a
/// character outside the code page maps to '?').
USBORVA_EXPORT char16_t ByteToChar(uint8_t byte) noexcept;
/// The Windows-1252 byte of a character; '?' for one outside the code page.
USBORVA_EXPORT uint8_t CharToByte(char16_t ch) noexcept;

/// Allocation-free forms for hot paths: write exactly 2 * count characters into out.
/// The caller guarantees the range lies inside the buffer.
USBORVA_EXPORT void AppendHex(std::span<const uint8_t> bytes, char16_t* out) noexcept;

}  // namespace usborva::convert

#endif  // USBORVA_CONVERT_H_
