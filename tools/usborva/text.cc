// SPDX-License-Identifier: Apache-2.0
#include "text.h"

#include <unistd.h>

#include <cstdio>

namespace usborva::cli {

std::string Printable(const String& text) {
  String safe;
  safe.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
      for (const char* p = escape; *p != '\0'; ++p) safe.push_back(static_cast<char16_t>(*p));
    } else {
      safe.push_back(c);
    }
  }
  return StringToUtf8(safe);
}

std::string Printable(std::string_view utf8) { return Printable(Utf8ToString(utf8)); }

std::string ShortHex(const String& hex, size_t keep) {
  std::string text = Printable(hex);
  if (text.size() <= keep + 8) return text;
  return text.substr(0, keep) + "... (" + std::to_string(text.size() / 2) + " bytes)";
}

std::string FormatTime(std::chrono::milliseconds since_start) {
  const long long ms = since_start.count();
  char text[32];
  std::snprintf(text, sizeof text, "%4lld.%03llds", ms / 1000, ms % 1000);
  return text;
}

std::string Padded(std::string_view label, size_t width) {
  std::string text(label);
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

}  // namespace usborva::cli
