// SPDX-License-Identifier: Apache-2.0
#include "text.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "usborva/text_guard.h"
#include "usborva/utf8.h"

namespace usborva::cli {

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

namespace {

bool IsCombining(char32_t c) {
  return (c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE20 && c <= 0xFE2F);
}

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
         (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
  const std::string shown = GuardText(utf8);
  size_t width = 0;
  for (size_t at = 0; at < shown.size();) {
    const Utf8Step step = DecodeUtf8(shown, at);
    width += IsCombining(step.code_point) ? 0 : IsWide(step.code_point) ? 2 : 1;
    at += step.length;
  }
  return width;
}

std::string Padded(std::string_view label, size_t width) {
  std::string text(label);
  const size_t columns = DisplayWidth(label);
  if (columns < width) text.append(width - columns, ' ');
  return text;
}

std::string FormatIsoTime(std::chrono::system_clock::time_point when) {
  using std::chrono::milliseconds;
  const auto since_epoch = std::chrono::duration_cast<milliseconds>(when.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(since_epoch.count() / 1000);
  const auto millis = static_cast<int>(since_epoch.count() % 1000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                millis < 0 ? 0 : millis);
  return text;
}

bool DumbTerminal() {
  const char* term = std::getenv("TERM");
  return term != nullptr && std::string_view(term) == "dumb";
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

}  // namespace usborva::cli
