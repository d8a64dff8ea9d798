// SPDX-License-Identifier: Apache-2.0
#include "usborva/text_guard.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "usborva/hex_digits.h"
#include "usborva/utf8.h"
#include "usborva/variant.h"

namespace usborva {
namespace {

constexpr size_t kMinDigits = 12;  // the shortest card number a run can hold
constexpr size_t kShownLead = 6;   // as the PAN mask shows them
constexpr size_t kShownTrail = 4;
constexpr size_t kMaxSeparators = 3;  // "4111 - 1111" still reads as one number

// The zero of every block of ten decimal digits in Unicode (general category Nd).
constexpr char32_t kDigitZeros[] = {
    0x0030,  0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,
    0x0C66,  0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,
    0x1810,  0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,
    0xA8D0,  0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066,
    0x110F0, 0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0,
    0x11950, 0x11C50, 0x11D50, 0x11DA0, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2,
    0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E950, 0x1FBF0};

bool IsDecimalDigit(char32_t cp) {
  for (char32_t zero : kDigitZeros) {
    if (cp >= zero && cp <= zero + 9) return true;
  }
  return false;
}

// Digits that are not Nd but read as digits all the same: super- and subscripts, circled.
bool IsDigitLookalike(char32_t cp) {
  return cp == 0x00B2 || cp == 0x00B3 || cp == 0x00B9 || cp == 0x2070 ||
         (cp >= 0x2074 && cp <= 0x2079) || (cp >= 0x2080 && cp <= 0x2089) ||
         (cp >= 0x2460 && cp <= 0x2468) || cp == 0x24EA;
}

bool IsDigit(char32_t cp) {
  if (cp < 0x80) return cp >= U'0' && cp <= U'9';
  return IsDecimalDigit(cp) || IsDigitLookalike(cp);
}

bool IsSeparator(char32_t cp) {
  return cp == U' ' || cp == U'-' || cp == 0x00A0 || (cp >= 0x2010 && cp <= 0x2015) ||
         cp == 0x2212 || cp == 0x2007 || cp == 0x202F;
}

// Invisible characters that reorder, join or break text on a terminal.
bool IsFormatCharacter(char32_t cp) {
  return cp == 0x061C || (cp >= 0x200B && cp <= 0x200F) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2064) ||
         (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB);
}

struct Unit {
  size_t begin;
  size_t length;
  char32_t code_point;
  bool valid;
  bool digit;
  bool masked = false;
};

std::vector<Unit> Decode(std::string_view utf8) {
  std::vector<Unit> units;
  units.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const Utf8Step step = DecodeUtf8(utf8, at);
    units.push_back(
        Unit{at, step.length, step.code_point, step.valid, step.valid && IsDigit(step.code_point)});
    at += step.length;
  }
  return units;
}

// Whether the unit is shown as an escape rather than as itself.
bool IsEscaped(const Unit& unit, bool keep_line_feeds) {
  const char32_t cp = unit.code_point;
  if (!unit.valid) return true;
  if (cp == U'\n') return !keep_line_feeds;
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || IsFormatCharacter(cp);
}

// What may stand between the digit groups of one number. An escaped character counts, so
// a zero-width space or a control character between the groups cannot show the number in
// clear with escapes between its digits.
bool PartsDigitGroups(const Unit& unit, bool keep_line_feeds) {
  return (unit.valid && IsSeparator(unit.code_point)) || IsEscaped(unit, keep_line_feeds);
}

// The end of the digit run starting at units[begin], and how many digits it holds.
size_t RunEnd(const std::vector<Unit>& units, size_t begin, bool keep_line_feeds, size_t& digits) {
  size_t end = begin;
  digits = 0;
  size_t at = begin;
  while (at < units.size()) {
    if (units[at].digit) {
      ++digits;
      end = ++at;
      continue;
    }
    size_t gap = 0;
    while (at < units.size() && gap < kMaxSeparators &&
           PartsDigitGroups(units[at], keep_line_feeds)) {
      ++at;
      ++gap;
    }
    if (gap == 0 || at >= units.size() || !units[at].digit) break;
  }
  return end;
}

void MaskRun(std::vector<Unit>& units, size_t begin, size_t end, size_t digits) {
  size_t seen = 0;
  for (size_t at = begin; at < end; ++at) {
    if (!units[at].digit) continue;
    units[at].masked = seen >= kShownLead && seen < digits - kShownTrail;
    ++seen;
  }
}

// Marks the digits to hide; returns whether any run was long enough to be a card number.
bool MarkCardNumbers(std::vector<Unit>& units, bool mask, bool keep_line_feeds) {
  bool found = false;
  for (size_t at = 0; at < units.size();) {
    if (!units[at].digit) {
      ++at;
      continue;
    }
    size_t digits = 0;
    const size_t end = RunEnd(units, at, keep_line_feeds, digits);
    if (digits >= kMinDigits) {
      found = true;
      if (mask) MaskRun(units, at, end, digits);
    }
    at = end;
  }
  return found;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char escape[12];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

void Render(std::string_view utf8, const Unit& unit, bool keep_line_feeds, std::string& out) {
  const char32_t cp = unit.code_point;
  if (unit.masked) {
    out += '*';
  } else if (!unit.valid) {
    for (size_t i = 0; i < unit.length; ++i) {
      AppendEscape(out, "\\x%02X", static_cast<unsigned char>(utf8[unit.begin + i]));
    }
  } else if (cp == U'\n' && keep_line_feeds) {
    out += '\n';
  } else if (cp < 0x20 || cp == 0x7F) {
    AppendEscape(out, "\\x%02X", static_cast<unsigned>(cp));
  } else if ((cp >= 0x80 && cp <= 0x9F) || IsFormatCharacter(cp)) {
    AppendEscape(out, "\\u%04X", static_cast<unsigned>(cp));
  } else {
    out.append(utf8.substr(unit.begin, unit.length));
  }
}

}  // namespace

std::string GuardText(std::string_view utf8, bool reveal) {
  std::vector<Unit> units = Decode(utf8);
  MarkCardNumbers(units, !reveal, true);
  std::string out;
  out.reserve(utf8.size());
  for (const Unit& unit : units) Render(utf8, unit, true, out);
  return out;
}

std::string QuoteForMessage(std::string_view utf8, size_t max_chars) {
  std::vector<Unit> units = Decode(utf8);
  MarkCardNumbers(units, true, false);
  const size_t shown = std::min(max_chars, units.size());
  std::string out;
  for (size_t i = 0; i < shown; ++i) Render(utf8, units[i], false, out);
  if (shown < units.size()) out += "...";
  return out;
}

bool HoldsCardNumber(std::string_view utf8) {
  std::vector<Unit> units = Decode(utf8);
  return MarkCardNumbers(units, false, true);
}

std::string Printable(std::u16string_view text) {
  String safe;
  safe.reserve(text.size());
  for (const char16_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      safe += u"\\x";
      safe += static_cast<char16_t>(HexDigit(c >> 4));
      safe += static_cast<char16_t>(HexDigit(c));
    } else {
      safe.push_back(c);
    }
  }
  return StringToUtf8(safe);
}

std::string Printable(std::string_view utf8) { return Printable(Utf8ToString(utf8)); }

}  // namespace usborva
