// SPDX-License-Identifier: Apache-2.0
#include "hid_system/ini_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "hid_system/bounded_file.h"
#include "usborva/utf8.h"

namespace usborva::hid_system {
namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

// A value in matching single or double quotes loses them.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value of key in the first section named section, if the key is there.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  bool in_section = section.empty();  // keys before any header belong to the nameless one
  while (!text.empty()) {
    size_t end = text.find_first_of("\r\n");
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close == std::string_view::npos) continue;  // not a header; skipped
      // Only the first section of that name is searched.
      if (in_section) return std::nullopt;
      in_section = SameName(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!in_section) continue;
    size_t equals = line.find('=');
    std::string_view name = Trim(line.substr(0, equals));
    if (!SameName(name, key)) continue;
    if (equals == std::string_view::npos) return std::string_view{};
    return Unquote(Trim(line.substr(equals + 1)));
  }
  return std::nullopt;
}

uint32_t CopyOut(std::string_view value, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  size_t n = std::min<size_t>(value.size(), size - 1);
  if (n > 0) std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<uint32_t>(n);
}

// A UTF-16LE text (after its mark) as the ANSI profile reader hands it out: each character
// up to U+00FF as its byte, any other as one '?', a surrogate pair as one character; an odd
// last byte is dropped.
std::string NarrowUtf16Le(std::string_view bytes) {
  std::string narrow;
  narrow.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (IsLowSurrogate(unit) && i >= 2) {
      const auto before = static_cast<char16_t>(static_cast<unsigned char>(bytes[i - 2]) |
                                                static_cast<unsigned char>(bytes[i - 1]) << 8);
      if (IsHighSurrogate(before)) continue;  // second half of a pair
    }
    narrow += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return narrow;
}

uint32_t CopyDefault(const char* default_value, char* buffer, uint32_t size) {
  std::string_view value = default_value ? default_value : "";
  // The profile reader drops trailing blanks of the default.
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  return CopyOut(value, buffer, size);
}

}  // namespace

std::string ConfigDirectory() {
  const char* dir = std::getenv("USBORVA_CONFIG_DIR");
  return (dir != nullptr && *dir != '\0') ? std::string(dir) : std::string("/etc");
}

std::string ConfigFilePath(std::string_view file_name) {
  if (file_name.find('/') != std::string_view::npos) return std::string(file_name);
  std::string path = ConfigDirectory();
  if (path.empty() || path.back() != '/') path += '/';
  path += file_name;
  return path;
}

uint32_t ReadProfileString(std::string_view text, const char* section, const char* key,
                           const char* default_value, char* buffer, uint32_t size) {
  if (section == nullptr || key == nullptr) return CopyDefault(default_value, buffer, size);
  if (text.starts_with(kUtf16LeMark)) {
    const std::string narrow = NarrowUtf16Le(text.substr(kUtf16LeMark.size()));
    std::optional<std::string_view> value = FindValue(narrow, Trim(section), Trim(key));
    return value ? CopyOut(*value, buffer, size) : CopyDefault(default_value, buffer, size);
  }
  std::optional<std::string_view> value = FindValue(text, Trim(section), Trim(key));
  if (!value) return CopyDefault(default_value, buffer, size);
  return CopyOut(*value, buffer, size);
}

uint32_t ReadProfileStringFromFile(const std::string& path, const char* section, const char* key,
                                   const char* default_value, char* buffer, uint32_t size) {
  const BoundedFile file = ReadBoundedFile(path, kMaxConfigFileBytes);
  switch (file.outcome) {
    case BoundedFile::Outcome::kRead:
      return ReadProfileString(file.text, section, key, default_value, buffer, size);
    case BoundedFile::Outcome::kMissing:
      return ReadProfileString({}, section, key, default_value, buffer, size);
    case BoundedFile::Outcome::kRefused:
      break;
  }
  // Not the default: an empty value is no Boolean, so every candidate terminal is refused.
  return CopyOut({}, buffer, size);
}

std::string ConfigFileProblem(std::string_view file_name) {
  return ReadBoundedFile(ConfigFilePath(file_name), kMaxConfigFileBytes).problem;
}

}  // namespace usborva::hid_system
