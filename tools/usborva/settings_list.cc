// SPDX-License-Identifier: Apache-2.0
#include "settings_list.h"

#include <optional>
#include <set>

#include "host/quoted_text.h"
#include "host/settings_text.h"

namespace usborva::cli {
namespace {

// A name as it starts a line: quoted, or bare up to the stop character.
std::optional<String> LeadingName(std::string_view text, char stop) {
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    return host::ParseQuoted(text, pos);
  }
  const size_t end = text.find(stop);
  if (end == std::string_view::npos) return std::nullopt;
  return Utf8ToString(host::TrimBlanks(text.substr(0, end)));
}

// The name in ASCII lower case: names match without regard to ASCII case.
String Folded(String name) {
  for (char16_t& c : name) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return name;
}

}  // namespace

std::vector<std::pair<String, String>> ListSettings(std::string_view text, const String& section) {
  std::vector<std::pair<String, String>> settings;
  std::set<String> seen;
  const std::string header = host::FormatSettingsSection(section) + "\n";
  bool inside = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = host::TrimBlanks(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const std::optional<String> name = LeadingName(line.substr(1), ']');
      inside = name && host::NamesEqual(*name, section);
      continue;
    }
    const std::optional<String> key = inside ? LeadingName(line, '=') : std::nullopt;
    if (!key || seen.count(Folded(*key)) != 0) continue;
    // The settings reader itself reads the line, so the value is the one a lookup gives.
    std::optional<String> value =
        host::SettingsText(header + std::string(line)).Find(section, *key);
    if (!value) continue;
    seen.insert(Folded(*key));
    settings.emplace_back(*key, std::move(*value));
  }
  return settings;
}

}  // namespace usborva::cli
