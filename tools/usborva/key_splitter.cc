// SPDX-License-Identifier: Apache-2.0
#include "key_splitter.h"

#include <algorithm>
#include <utility>

namespace usborva::cli {
namespace {

constexpr char kEsc = '\x1B';

// The length of the key at the start of bytes, or 0 when the bytes held end inside it.
size_t EscapeLength(std::string_view bytes) {
  if (bytes.size() < 2) return 0;
  const char second = bytes[1];
  if (second == 'O') return bytes.size() >= 3 ? 3 : 0;  // SS3: ESC O P is F1 on xterm
  if (second != '[') return second == kEsc ? 1 : 2;     // Alt and a key; Esc twice is two
  // The Linux console's F1 to F5: ESC [ [ A to E.
  if (bytes.size() >= 3 && bytes[2] == '[') return bytes.size() >= 4 ? 4 : 0;
  // CSI: parameter and intermediate bytes, then one final byte.
  for (size_t i = 2; i < bytes.size() && i < KeySplitter::kMaxKey; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x40 && byte <= 0x7E) return i + 1;
    if (byte < 0x20 || byte > 0x3F) return i;  // broken off: what came is the key
  }
  return bytes.size() >= KeySplitter::kMaxKey ? KeySplitter::kMaxKey : 0;
}

size_t Utf8Length(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  for (size_t i = 1; i < length; ++i) {
    if (i >= bytes.size()) return 0;
    if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return i;
  }
  return length;
}

size_t KeyLength(std::string_view bytes) {
  const auto first = static_cast<unsigned char>(bytes[0]);
  if (first == kEsc) return EscapeLength(bytes);
  if (first >= 0xC2 && first <= 0xF4) return Utf8Length(bytes);
  return 1;
}

constexpr std::pair<std::string_view, std::string_view> kNamedKeys[] = {
    {"\x1B[A", "Up"},      {"\x1B[B", "Down"},      {"\x1B[C", "Right"},   {"\x1B[D", "Left"},
    {"\x1BOA", "Up"},      {"\x1BOB", "Down"},      {"\x1BOC", "Right"},   {"\x1BOD", "Left"},
    {"\x1B[H", "Home"},    {"\x1B[F", "End"},       {"\x1B[2~", "Insert"}, {"\x1B[3~", "Delete"},
    {"\x1B[5~", "PageUp"}, {"\x1B[6~", "PageDown"}, {"\x1B[15~", "F5"},    {"\x1B[17~", "F6"},
    {"\x1B[18~", "F7"},    {"\x1B[19~", "F8"},      {"\x1B[20~", "F9"},    {"\x1B[21~", "F10"},
    {"\x1B[23~", "F11"},   {"\x1B[24~", "F12"},     {"\x1B[[E", "F5"},     {"\x1BOP", "F1"},
    {"\x1BOQ", "F2"},      {"\x1BOR", "F3"},        {"\x1BOS", "F4"},      {"\x1B[11~", "F1"},
    {"\x1B[12~", "F2"},    {"\x1B[13~", "F3"},      {"\x1B[14~", "F4"},    {"\x1B[[A", "F1"},
    {"\x1B[[B", "F2"},     {"\x1B[[C", "F3"},       {"\x1B[[D", "F4"},     {"\x7F", "Backspace"},
    {"\x1B", "Esc"},       {"\t", "Tab"},
};

}  // namespace

std::optional<std::string> KeySplitter::Next(bool pause) {
  if (pending_.empty()) return std::nullopt;
  size_t length = KeyLength(pending_);
  if (length == 0) {
    if (!pause) return std::nullopt;
    length = std::min(pending_.size(), kMaxKey);
  }
  std::string key = pending_.substr(0, length);
  pending_.erase(0, length);
  return key;
}

std::string KeyName(std::string_view key) {
  for (const auto& [bytes, name] : kNamedKeys) {
    if (key == bytes) return std::string(name);
  }
  if (key.size() == 1) {
    const auto byte = static_cast<unsigned char>(key[0]);
    if (byte == 0) return "Ctrl-@";
    if (byte < 0x20) return std::string("Ctrl-") + static_cast<char>('@' + byte);
  }
  if (key.size() == 2 && key[0] == kEsc) return "Alt-" + KeyName(key.substr(1));
  if (key[0] == kEsc) return "an escape sequence";
  // A character, quoted; the output guard escapes anything invisible in it.
  return "'" + std::string(key) + "'";
}

}  // namespace usborva::cli
