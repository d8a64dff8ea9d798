// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_UTF8_H_
#define USBORVA_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

/// @file
/// The one UTF-8 codec of the product. Utf8ToString and StringToUtf8 (usborva/variant.h)
/// convert whole texts; what follows serves callers that walk or build text themselves.
/// Every reader of UTF-8 in the product decodes with one policy for malformed input, the
/// "maximal subpart" substitution Unicode recommends: each maximal prefix of a sequence
/// that cannot be completed becomes one U+FFFD, and decoding resumes at the byte that broke
/// it. So E2 82 41 reads as U+FFFD U+0041, and a stray continuation byte, a byte that never
/// leads (C0, C1, F5 to FF), an overlong form, an encoded surrogate and a value past
/// U+10FFFF each yield U+FFFD per byte that cannot begin a valid sequence.

/// One step of reading UTF-8 text: the code point at an offset and how many bytes it took.
struct USBORVA_EXPORT Utf8Step {
  char32_t code_point = 0;  ///< U+FFFD when the sequence is malformed
  size_t length = 0;        ///< at least 1 while bytes remain
  bool valid = false;       ///< false: a malformed sequence (its maximal bad prefix)
};

/// Decodes the sequence at utf8[offset] (offset < utf8.size()) with the same policy as
/// Utf8ToString: a malformed sequence consumes its maximal bad prefix and reads as U+FFFD,
/// so callers that walk text step by step see exactly what the converter sees.
USBORVA_EXPORT Utf8Step DecodeUtf8(std::string_view utf8, size_t offset);

/// Whether a UTF-16 code unit is the first (high) or the second (low) half of a surrogate
/// pair. Half of a pair alone has no UTF-8 form.
constexpr bool IsHighSurrogate(char32_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
/// Whether a UTF-16 code unit is the second (low) half of a surrogate pair.
constexpr bool IsLowSurrogate(char32_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

/// Appends the UTF-8 form of code_point (at most U+10FFFF) to out. A surrogate value is
/// written in its three-byte form, which is no valid UTF-8: only a caller that spells such a
/// unit on purpose (as an escape of its bytes) passes one; StringToUtf8 writes U+FFFD instead.
USBORVA_EXPORT void AppendUtf8(char32_t code_point, std::string& out);

}  // namespace usborva

#endif  // USBORVA_UTF8_H_
