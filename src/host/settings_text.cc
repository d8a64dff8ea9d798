// SPDX-License-Identifier: Apache-2.0
#include "host/settings_text.h"

#include <utility>

#include "host/quoted_text.h"

namespace usborva::host {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsCommentStart(char c) { return c == ';' || c == '#'; }

bool IsEmptyOrComment(std::string_view rest) {
  rest = TrimBlanks(rest);
  return rest.empty() || IsCommentStart(rest.front());
}

size_t SkipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

}  // namespace

std::string FormatSettingsEntry(const String& key, const String& value) {
  std::string line = IsBareName(key) ? StringToUtf8(key) : Quote(key);
  line += " = ";
  line += Quote(value);
  return line;
}

std::string FormatSettingsSection(const String& section) {
  std::string line = "[";
  line += IsBareName(section) ? StringToUtf8(section) : Quote(section);
  line += ']';
  return line;
}

SettingsText::SettingsText(std::string text) : text_(std::move(text)) {}

SettingsText::Line SettingsText::ReadLine(size_t begin) const {
  Line line;
  line.begin = begin;
  const size_t break_at = text_.find('\n', begin);
  line.next = break_at == std::string::npos ? text_.size() : break_at + 1;
  line.end = break_at == std::string::npos ? text_.size() : break_at;
  if (line.end > line.begin && text_[line.end - 1] == '\r') --line.end;
  ParseLine(line);
  return line;
}

void SettingsText::ParseLine(Line& line) const {
  size_t offset = line.begin;
  if (offset == 0 && std::string_view(text_).substr(0, line.end).starts_with(kByteOrderMark)) {
    offset = kByteOrderMark.size();
  }
  const std::string_view content = std::string_view(text_).substr(offset, line.end - offset);
  const std::string_view trimmed = TrimBlanks(content);
  if (trimmed.empty() || IsCommentStart(trimmed.front())) return;
  if (trimmed.front() == '[') {
    line.kind = ParseSection(content, line) ? Kind::kSection : Kind::kBadSection;
    return;
  }
  if (ParseEntry(content, offset, line)) line.kind = Kind::kEntry;
}

bool SettingsText::ParseSection(std::string_view content, Line& line) const {
  size_t i = SkipBlanks(content, content.find('[') + 1);
  if (i < content.size() && content[i] == '"') {
    std::optional<String> name = ParseQuoted(content, i);
    i = SkipBlanks(content, i);
    if (!name || i >= content.size() || content[i] != ']') return false;
    line.name = std::move(*name);
    ++i;
  } else {
    const size_t close = content.find(']', i);
    if (close == std::string_view::npos) return false;
    line.name = Utf8ToString(TrimBlanks(content.substr(i, close - i)));
    i = close + 1;
  }
  return IsEmptyOrComment(content.substr(i));
}

bool SettingsText::ParseEntry(std::string_view content, size_t offset, Line& line) const {
  size_t i = SkipBlanks(content, 0);
  if (content[i] == '"') {
    std::optional<String> key = ParseQuoted(content, i);
    i = SkipBlanks(content, i);
    if (!key || i >= content.size() || content[i] != '=') return false;
    line.name = std::move(*key);
  } else {
    const size_t equals = content.find('=', i);
    if (equals == std::string_view::npos) return false;
    line.name = Utf8ToString(TrimBlanks(content.substr(i, equals - i)));
    if (line.name.empty()) return false;
    i = equals;
  }
  i = SkipBlanks(content, i + 1);
  line.value_begin = offset + i;
  if (i == content.size()) {
    line.empty_value = true;
    line.value_end = line.value_begin;
    return true;
  }
  if (content[i] == '"') {
    std::optional<String> value = ParseQuoted(content, i);
    if (!value || !IsEmptyOrComment(content.substr(i))) return false;
    line.value = std::move(*value);
    line.value_end = offset + i;
    return true;
  }
  const std::string_view bare = TrimBlanks(content.substr(i));
  line.value = Utf8ToString(bare);
  line.value_end = line.value_begin + bare.size();
  return true;
}

std::optional<SettingsText::Line> SettingsText::FindLine(const String& section,
                                                         const String& key) const {
  bool in_section = false;
  for (size_t pos = 0; pos < text_.size();) {
    Line line = ReadLine(pos);
    pos = line.next;
    switch (line.kind) {
      case Kind::kSection:
        in_section = NamesEqual(line.name, section);
        break;
      case Kind::kBadSection:
        in_section = false;
        break;
      case Kind::kEntry:
        if (in_section && NamesEqual(line.name, key)) return line;
        break;
      case Kind::kOther:
        break;
    }
  }
  return std::nullopt;
}

std::optional<String> SettingsText::Find(const String& section, const String& key) const {
  std::optional<Line> line = FindLine(section, key);
  if (!line) return std::nullopt;
  return std::move(line->value);
}

std::string SettingsText::WithValue(const String& section, const String& key,
                                    const String& value) const {
  const std::optional<Line> line = FindLine(section, key);
  return line ? ReplaceValue(*line, value) : InsertEntry(section, key, value);
}

std::string SettingsText::ReplaceValue(const Line& line, const String& value) const {
  std::string out = text_.substr(0, line.value_begin);
  if (line.empty_value && !out.empty() && out.back() == '=') out += ' ';
  out += Quote(value);
  out.append(text_, line.value_end);
  return out;
}

std::string SettingsText::InsertEntry(const String& section, const String& key,
                                      const String& value) const {
  const std::string entry = FormatSettingsEntry(key, value);
  // The last entry of the section's first block, or its header when it has none.
  std::optional<Line> anchor;
  for (size_t pos = 0; pos < text_.size();) {
    Line line = ReadLine(pos);
    pos = line.next;
    if (!anchor) {
      if (line.kind == Kind::kSection && NamesEqual(line.name, section)) anchor = std::move(line);
    } else if (line.kind == Kind::kSection || line.kind == Kind::kBadSection) {
      break;
    } else if (line.kind == Kind::kEntry) {
      anchor = std::move(line);
    }
  }
  if (!anchor) {
    std::string out = text_;
    if (!out.empty() && out.back() != '\n') out += '\n';
    if (!out.empty()) out += '\n';
    return out + FormatSettingsSection(section) + "\n" + entry + "\n";
  }
  const std::string_view line_break =
      std::string_view(text_).substr(anchor->end, anchor->next - anchor->end) == "\r\n" ? "\r\n"
                                                                                        : "\n";
  std::string out = text_.substr(0, anchor->next);
  if (out.back() != '\n') out += line_break;
  out += entry;
  out += line_break;
  out.append(text_, anchor->next);
  return out;
}

}  // namespace usborva::host
