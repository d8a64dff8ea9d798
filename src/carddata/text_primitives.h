// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_TEXT_PRIMITIVES_H_
#define USBORVA_CARDDATA_TEXT_PRIMITIVES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::carddata {

// The two text operations every card-parsing routine is built from. Positions are 1-based
// over UTF-16 code units and compare exactly. An empty optional is a failure: the calling
// routine stops and returns the empty string. Positions travel as int64_t so that a routine
// can do its arithmetic first and then narrow to the width it works in.

// The position of the first ch at or after start; 0 when there is none, when the text is
// empty or when start lies beyond the end. A start below 1 fails.
std::optional<int64_t> SearchChar(std::u16string_view text, int64_t start, char16_t ch);

// At most length characters from start on; empty when start lies beyond the end or length
// is 0. A start below 1 or a negative length fails.
std::optional<String> Substring(std::u16string_view text, int64_t start, int64_t length);

// Narrowing to the Integer (16-bit) and Long (32-bit) widths; out of range is an overflow.
std::optional<int16_t> ToInt16(int64_t value);
std::optional<int32_t> ToInt32(int64_t value);

// Leading and trailing U+0020 removed; other blanks (tabs, NBSP) are kept.
String TrimSpaces(std::u16string_view text);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_TEXT_PRIMITIVES_H_
