// SPDX-License-Identifier: Apache-2.0
// One character per byte, in the host's ANSI code page: on Windows the control turns the
// terminal's bytes into text the way the rest of the host's programs do, so a terminal
// set up for a Cyrillic or Greek market shows its letters. The Windows build compiles this
// file in place of the portable Windows-1252 table.
#include <windows.h>

#include <algorithm>
#include <array>
#include <utility>

#include "usborva/convert.h"

namespace usborva::convert {
namespace {

// The code page's character for every byte, and the same pairs sorted by character for
// the way back. A byte the code page gives no character of its own (a lead byte of a
// double-byte code page, an unassigned position) stands for the character of the same
// value, so every byte has a character and every such character its byte.
struct CodePageTable {
  std::array<char16_t, 256> chars{};
  std::array<std::pair<char16_t, uint8_t>, 256> bytes{};

  CodePageTable() noexcept {
    for (int byte = 0; byte < 256; ++byte) {
      const char narrow = static_cast<char>(byte);
      wchar_t wide = 0;
      const int got = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &narrow, 1, &wide, 1);
      chars[byte] = got == 1 ? static_cast<char16_t>(wide) : static_cast<char16_t>(byte);
      bytes[byte] = {chars[byte], static_cast<uint8_t>(byte)};
    }
    // Stable: where two bytes share a character, the lower byte is the way back.
    std::stable_sort(bytes.begin(), bytes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
};

const CodePageTable& Table() noexcept {
  static const CodePageTable table;
  return table;
}

}  // namespace

char16_t ByteToChar(uint8_t byte) noexcept { return Table().chars[byte]; }

uint8_t CharToByte(char16_t ch) noexcept {
  const auto& bytes = Table().bytes;
  const auto found =
      std::lower_bound(bytes.begin(), bytes.end(), ch,
                       [](const auto& entry, char16_t c) { return entry.first < c; });
  return found != bytes.end() && found->first == ch ? found->second : '?';
}

}  // namespace usborva::convert
