// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_VALUES_H_
#define USBORVA_SCENARIO_VALUES_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/lexer.h"
#include "usborva/scenario.h"
#include "usborva/variant.h"

namespace usborva::scenario {

// Readers of the values a scenario line holds. Each throws LineError at the token's column
// with a message that names what was expected; `what` names the value ("vendor ID").

// A whole number, decimal or 0x-hexadecimal, within [min, max].
int64_t ReadInteger(const Token& token, int64_t min, int64_t max, std::string_view what);
uint8_t ReadByte(const Token& token, std::string_view what);
// Hexadecimal bytes: pairs of digits, run together or (in a quoted text) spaced.
std::vector<uint8_t> ReadHex(const Token& token, std::string_view what);
// The same over several tokens, read as one run (the rest of a line).
std::vector<uint8_t> ReadHexTokens(std::span<const Token> tokens, std::string_view what);
// Leading bytes to match, over several tokens read as one run: pairs of hex digits, or ??
// for any byte.
BytePattern ReadPattern(std::span<const Token> tokens, std::string_view what);
// A length of time: a number with the unit ms, s, min or h ("250ms", "1.5s", "2min").
Milliseconds ReadDuration(const Token& token);
// An error unless the token is at most kMaxTextBytes long.
void CheckTextLength(const Token& token, std::string_view what);
// Text for the host side (UTF-8 in the file, UTF-16 in the terminal's strings), at most
// kMaxTextBytes long.
String ReadText(const Token& token, std::string_view what);
// Card text, one byte per character as the terminal sends it (Windows-1252); a character
// the code page cannot hold is refused.
std::vector<uint8_t> ReadCardText(const Token& token, std::string_view what);
// "on" or "off".
bool ReadOnOff(const Token& token);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_VALUES_H_
