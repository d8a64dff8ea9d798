// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_SCENARIO_TEXT_H_
#define USBORVA_SCENARIO_SCENARIO_TEXT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "usborva/scenario.h"

namespace usborva::scenario {

// The writer's side of the values the lexer and values.h read: each function spells a
// value so that reading it back gives exactly the value given.

// A quoted text whose bytes read back as utf8's bytes. Quotes, backslashes and control
// characters take the language's escapes, bytes that are not UTF-8 take \xHH, and the C1
// controls and the invisible format characters (bidirectional controls, zero-width
// characters, line and paragraph separators) take \uHHHH, so the file shows nothing
// deceptive when printed. Everything else is written as it is.
std::string QuoteText(std::string_view utf8);

// A host-side text (a string descriptor) as a quoted text that ReadText reads back as the
// same UTF-16. U+FFFD goes as \xFF, one byte that is no UTF-8 and reads back as U+FFFD, so
// the text is never longer than the one it was read from (a stray byte read as U+FFFD
// would otherwise come back as three). Half of a surrogate pair, which no file can hold,
// comes out as U+FFFD.
std::string QuoteHostText(std::u16string_view text);

// Card text (one byte per character, Windows-1252) as a quoted text that ReadCardText reads
// back as the same bytes; nullopt when some byte has no character that reads back as it.
std::optional<std::string> QuoteCardText(std::span<const uint8_t> bytes);

// Hexadecimal bytes run together ("0A1B2C"); no bytes: the empty text "\"\"".
std::string HexText(std::span<const uint8_t> bytes);

// A number as 0x and four upper-case hex digits ("0x2A5C").
std::string HexNumber(uint16_t value);
// A byte as 0x and two digits ("0x0E").
std::string HexByte(uint8_t value);

// A wait of at most kMaxWait: "250ms", or whole seconds as "2s".
std::string DurationText(Milliseconds wait);

// Text as comment lines, each "# " and one line of it; none for an empty text.
std::string CommentLines(std::string_view text);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_SCENARIO_TEXT_H_
