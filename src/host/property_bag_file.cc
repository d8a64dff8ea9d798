#include "usborva/property_bag_file.h"

#include <algorithm>
#include <utility>

#include "host/file_system.h"
#include "host/property_literal.h"
#include "host/quoted_text.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

constexpr std::string_view kHeader = "; USBORVA property bag\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The key as NamesEqual compares it: ASCII letters in upper case.
String FoldedKey(String key) {
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return key;
}

}  // namespace

PropertyBagFile::PropertyBagFile(std::string path) : path_(std::move(path)) {}

PropertyBagFile PropertyBagFile::Load(std::string path) {
  std::optional<std::string> text = host::ReadFileIfExists(path, kMaxFileBytes);
  if (!text) {
    throw AutomationError(error::kFileNotFound, "File not found: " + path);
  }
  return Parse(*text, std::move(path));
}

PropertyBagFile PropertyBagFile::Parse(std::string_view text, std::string path) {
  PropertyBagFile bag(std::move(path));
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  size_t number = 0;
  FirstLines first_lines;
  while (!text.empty()) {
    const size_t break_at = text.find('\n');
    std::string_view line = text.substr(0, break_at);
    text.remove_prefix(break_at == std::string_view::npos ? text.size() : break_at + 1);
    // A run of CRs before the LF is line ending too, so a bad line never keeps one.
    while (line.ends_with('\r')) line.remove_suffix(1);
    bag.ParseLine(line, ++number, first_lines);
  }
  return bag;
}

void PropertyBagFile::ParseLine(std::string_view line, size_t number, FirstLines& first_lines) {
  const std::string_view trimmed = host::TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return;
  String key;
  size_t pos = 0;
  if (trimmed.front() == '"') {
    std::optional<String> quoted = host::ParseQuoted(trimmed, pos);
    if (!quoted) return AddBadLine(std::nullopt, line, number, "unreadable quoted key");
    key = std::move(*quoted);
    while (pos < trimmed.size() && (trimmed[pos] == ' ' || trimmed[pos] == '\t')) ++pos;
    if (pos >= trimmed.size() || trimmed[pos] != '=') {
      first_lines.try_emplace(FoldedKey(key), number);  // a later repeat is still a repeat
      return AddBadLine(key, line, number, "no '=' after the key");
    }
  } else {
    pos = trimmed.find('=');
    if (pos == std::string_view::npos) {
      return AddBadLine(std::nullopt, line, number, "not a `Key = value` line");
    }
    key = host::DecodeUtf8(host::TrimBlanks(trimmed.substr(0, pos)));
    if (key.empty()) return AddBadLine(std::nullopt, line, number, "no key before '='");
  }
  const auto [earlier, first] = first_lines.try_emplace(FoldedKey(key), number);
  if (!first) {
    return AddBadLine(key, line, number,
                      "the key is already set on line " + std::to_string(earlier->second));
  }
  std::string reason;
  std::optional<Variant> value = host::ParseLiteral(trimmed.substr(pos + 1), &reason);
  if (!value) return AddBadLine(key, line, number, std::move(reason));
  entries_.push_back({std::move(key), std::move(*value), std::nullopt, {}, number});
}

void PropertyBagFile::AddBadLine(std::optional<String> key, std::string_view line, size_t number,
                                 std::string reason) {
  // A run of lines whose key cannot be read acts as its first line alone, so it is kept as
  // one entry: a file of nothing else then costs little more memory than its text.
  if (!key && !entries_.empty() && !entries_.back().key && entries_.back().error) {
    entries_.back().raw.append("\n").append(line);
    return;
  }
  entries_.push_back({std::move(key), Variant(), std::move(reason), std::string(line), number});
}

std::string PropertyBagFile::ErrorText(const Entry& entry) const {
  return "Invalid property value in " + path_ + ", line " + std::to_string(entry.line) + ": " +
         *entry.error;
}

bool PropertyBagFile::Matches(const Entry& entry, const String& key) const {
  return entry.key && host::NamesEqual(*entry.key, key);
}

Variant PropertyBagFile::ReadProperty(const String& key, const Variant& default_value) {
  const Entry* found = nullptr;
  for (const Entry& entry : entries_) {
    const bool unkeyed_bad = !entry.key && entry.error;
    if (unkeyed_bad || (entry.error && Matches(entry, key))) {
      throw AutomationError(error::kInvalidPropertyValue, ErrorText(entry));
    }
    if (found == nullptr && Matches(entry, key)) found = &entry;
  }
  return found != nullptr ? found->value : default_value;
}

void PropertyBagFile::WriteProperty(const String& key, const Variant& value,
                                    const Variant& default_value) {
  const bool store = !ValueEquals(value, default_value);
  auto first = std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& entry) { return Matches(entry, key); });
  if (first == entries_.end()) {
    if (store) entries_.push_back({key, value, std::nullopt, {}, 0});
    return;
  }
  // Later lines for the same key can only be bad repeats; the new value replaces them all.
  entries_.erase(std::remove_if(std::next(first), entries_.end(),
                                [&](const Entry& entry) { return Matches(entry, key); }),
                 entries_.end());
  if (store) {
    *first = Entry{key, value, std::nullopt, {}, 0};
  } else {
    entries_.erase(first);
  }
}

std::string PropertyBagFile::Format() const {
  std::string text(kHeader);
  for (const Entry& entry : entries_) {
    if (entry.error) {
      text += entry.raw;
    } else {
      text += host::IsBareName(*entry.key) ? host::EncodeUtf8ForDisplay(*entry.key)
                                           : host::Quote(*entry.key);
      text += " = ";
      text += host::FormatLiteral(entry.value);
    }
    text += '\n';
  }
  return text;
}

void PropertyBagFile::Save() const {
  const std::string text = Format();
  if (text.size() > kMaxFileBytes) {
    throw AutomationError(error::kPathFileAccessError,
                          "cannot save " + path_ + ": the file would pass the limit of " +
                              std::to_string(kMaxFileBytes) + " bytes");
  }
  host::WriteFileAtomically(path_, text);
}

std::vector<String> PropertyBagFile::Keys() const {
  std::vector<String> keys;
  for (const Entry& entry : entries_) {
    if (!entry.error) keys.push_back(*entry.key);
  }
  return keys;
}

}  // namespace usborva
