// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_TEXT_H_
#define USBORVA_TOOLS_TEXT_H_

#include <chrono>
#include <string>
#include <string_view>

#include "usborva/text_guard.h"  // Printable, for every caller of the helpers below
#include "usborva/variant.h"

namespace usborva::cli {

// A long hex text cut for a human line: "9F1AC35D0B7E62A4... (48 bytes)".
std::string ShortHex(const String& hex, size_t keep = 32);

// "  1.250s": seconds with milliseconds, right-aligned for a column of times.
std::string FormatTime(std::chrono::milliseconds since_start);

// UTC as ISO 8601 with milliseconds: "2026-03-01T12:34:56.789Z".
std::string FormatIsoTime(std::chrono::system_clock::time_point when);

// label padded to width columns, for aligned "label  value" lines. Columns are counted as
// a terminal shows the label after the output guard: a wide (CJK, fullwidth) character
// takes two, a combining mark none, and an escaped invisible character its escape's width.
std::string Padded(std::string_view label, size_t width);

// The columns the UTF-8 text takes on a terminal once guarded (see Padded).
size_t DisplayWidth(std::string_view utf8);

// Whether TERM says the terminal cannot move the cursor ("dumb", as in an editor's shell):
// no live status line is drawn there.
bool DumbTerminal();

// Whether the file descriptor is a terminal.
bool IsTerminal(int fd);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_TEXT_H_
