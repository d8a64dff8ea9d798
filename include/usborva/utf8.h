// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_UTF8_H_
#define USBORVA_UTF8_H_

#include <cstddef>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

// One step of reading UTF-8 text: the code point at an offset and how many bytes it took.
struct USBORVA_EXPORT Utf8Step {
  char32_t code_point = 0;  // U+FFFD when the sequence is malformed
  size_t length = 0;        // at least 1 while bytes remain
  bool valid = false;       // false: a malformed sequence (its maximal bad prefix)
};

// Decodes the sequence at utf8[offset] (offset < utf8.size()) with the same policy as
// Utf8ToString: a malformed sequence consumes its maximal bad prefix and reads as U+FFFD,
// so callers that walk text step by step see exactly what the converter sees.
USBORVA_EXPORT Utf8Step DecodeUtf8(std::string_view utf8, size_t offset);

}  // namespace usborva

#endif  // USBORVA_UTF8_H_
