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
// is UTF-8 with backslash escapes.
//
//   \\ \" \n \r \t \0   backslash, quote, line feed, carriage return, tab, NUL
//   \xHH                any other control character (below 0x20, and 0x7F)
//   \uHHHH              a UTF-16 code unit that is not half of a valid pair (a lone
//                       surrogate cannot be spelled in UTF-8); also accepted for any
//                       code unit in hand-written text
//
// Everything else, including every non-ASCII character, is written as its UTF-8 bytes.
std::string Quote(const String& text);

// Reads a quoted literal starting at text[pos] (which must be '"'). On success returns the
// string and leaves pos just past the closing quote; on a malformed literal (no closing
// quote, an unknown escape, a raw line break) returns nullopt and leaves pos alone.
// Invalid UTF-8 bytes inside the quotes become U+FFFD.
std::optional<String> ParseQuoted(std::string_view text, size_t& pos);

// UTF-8 to UTF-16 for unquoted text a person wrote; invalid bytes become U+FFFD.
String DecodeUtf8(std::string_view utf8);

// UTF-16 to UTF-8 for display: a lone surrogate becomes U+FFFD.
std::string EncodeUtf8ForDisplay(const String& text);

// True when text can stand unquoted in a name position: not empty, only letters, digits
// and the marks _ - . $ % & # @ ! ( ) / + * ?, no leading or trailing blank. The rule is
// deliberately narrow; quoting is always safe.
bool IsBareName(const String& text);

// ASCII case-insensitive comparison, for names that match the way the platform's settings
// and property names do.
bool NamesEqual(const String& a, const String& b);

// Blanks (space and tab) at either end removed.
std::string_view TrimBlanks(std::string_view text);

}  // namespace usborva::host

#endif  // USBORVA_HOST_QUOTED_TEXT_H_
