// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEXT_GUARD_H_
#define USBORVA_TEXT_GUARD_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

/// @file
/// The one guard between card data and a person's screen or a log. Everything USBORVA
/// prints by default passes through it, so a card number cannot leak through a field the
/// printer did not expect to hold one (a name, an error message, a note in a file).
///
/// Card numbers: every run of 12 or more digits, whose digit groups may be separated by up
/// to three blanks, dashes or characters shown as escapes below ("4111 1111 1111 1111",
/// "4111-1111-1111-1111", a zero-width space between groups), keeps its first six and last
/// four digits and shows "*" for each digit between; separators stay. A line feed ends a
/// run, except in QuoteForMessage, which escapes it. Digits
/// of other scripts that read as digits (fullwidth, Arabic-Indic, superscript, ...) count
/// as digits, so a look-alike number is masked too.
///
/// Deceptive characters: control characters (C0, DEL, C1), bytes that are not UTF-8, and
/// the invisible format characters that reorder or hide text (bidirectional overrides and
/// isolates, zero-width characters, line and paragraph separators) are written as escapes:
/// `\xHH` for a byte below 0x80 or a stray byte, `\uHHHH` for a code point. `\uHHHH` is also a
/// JSON escape; `\xHH` is not, so a JSON writer escapes control characters and stray bytes
/// itself before its line reaches the guard.
///
/// Linear in the input; never throws except std::bad_alloc.

/// The guarded text. Line feeds are kept (the text may be several lines); reveal keeps the
/// digits as they are and still escapes.
USBORVA_EXPORT std::string GuardText(std::string_view utf8, bool reveal = false);

/// A token quoted in an error message: guarded, line feeds escaped too, and cut to at most
/// max_chars characters with "..." after it when it was longer, so a mistyped line cannot
/// echo a whole track or flood the terminal.
USBORVA_EXPORT std::string QuoteForMessage(std::string_view utf8, size_t max_chars = 32);

/// Whether the text holds what GuardText would mask: a run of 12 or more digits.
USBORVA_EXPORT bool HoldsCardNumber(std::string_view utf8);

/// One field's text (from the terminal or a file) as UTF-8 a person's terminal shows
/// safely: control characters (C0, DEL and C1, which could move the cursor or change
/// colours) as `\xHH`, a lone surrogate as U+FFFD, everything else as it is. It masks
/// nothing: the line it ends up in still goes through GuardText. The UTF-8 form is first
/// read with the product's codec (usborva/utf8.h).
USBORVA_EXPORT std::string Printable(std::u16string_view text);
/// The same for UTF-8 text; bytes that are not UTF-8 read as U+FFFD.
USBORVA_EXPORT std::string Printable(std::string_view utf8);

}  // namespace usborva

#endif  // USBORVA_TEXT_GUARD_H_
