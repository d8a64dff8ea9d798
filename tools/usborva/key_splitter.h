// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_KEY_SPLITTER_H_
#define USBORVA_TOOLS_KEY_SPLITTER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace usborva::cli {

// Turns the bytes typed into keys: one byte, one UTF-8 character, or a terminal's escape
// sequence (a function or cursor key) as one key. A key that sends several bytes then does
// one thing, or says once that it does nothing, and never a command per byte: F1 sends
// ESC O P, and its P must not be taken for a key of its own.
class KeySplitter {
 public:
  // The longest key kept whole; a longer escape sequence is cut there.
  static constexpr size_t kMaxKey = 16;

  void Add(std::string_view bytes) { pending_.append(bytes); }
  // The next whole key, or nullopt when what is held is none yet. pause: no more bytes are
  // coming for now (or ever), so a key still incomplete (Esc pressed alone) is taken as it is.
  std::optional<std::string> Next(bool pause = false);
  // Bytes held and not yet taken as keys.
  size_t held() const { return pending_.size(); }

 private:
  std::string pending_;
};

// A key as a person knows it, for a message: 'x', Ctrl-Z, Esc, Up, F5, a character.
std::string KeyName(std::string_view key);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_KEY_SPLITTER_H_
