// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_QUOTED_TEXT_H_
#define USBORVA_HOST_QUOTED_TEXT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::host {

// The one text form both host files use for names and values, so that any automation
// string survives a trip through a person's editor: a double-quoted literal whose content
// is UTF-8 with the product's backslash escapes (convert/text_escapes.h, shared with the
// scenario files). In these files a text is UTF-16, so \xHH stands for the code unit
// U+00HH and \uHHHH for the code unit HHHH. Quote writes
//
//   \\ \" \n \r \t \0   backslash, quote, line feed, carriage return, tab, NUL
//   \xHH                any other control character (below 0x20, and 0x7F)
//   \uHHHH              a UTF-16 code unit that is not half of a valid pair (a lone
//                       surrogate cannot be spelled in UTF-8)
//
// and everything else, including every non-ASCII character, as its UTF-8 bytes. A reader
// accepts every escape of the grammar wherever it stands, as a person may write them.
std::string Quote(const String& text);

// Reads a quoted literal starting at text[pos] (which must be '"'). On success returns the
// string and leaves pos just past the closing quote; on a malformed literal (no closing
// quote, an unknown escape, a raw line break) returns nullopt and leaves pos alone.
// Invalid UTF-8 inside the quotes reads as the one codec reads it (usborva/utf8.h).
std::optional<String> ParseQuoted(std::string_view text, size_t& pos);

// True when text can stand unquoted in a name position: not empty, only ASCII letters,
// digits and the marks _ - . $ % & @ ! ( ) / + * ?, so no blank at all. '#' is not among
// them: both files read '#', like ';', as the start of a comment. The rule is
// deliberately narrow; quoting is always safe.
bool IsBareName(const String& text);

// ASCII case-insensitive comparison, for names that match the way the platform's settings
// and property names do.
bool NamesEqual(const String& a, const String& b);

// Blanks (space and tab) at either end removed.
std::string_view TrimBlanks(std::string_view text);

}  // namespace usborva::host

#endif  // USBORVA_HOST_QUOTED_TEXT_H_
