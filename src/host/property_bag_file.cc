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

}  // namespace

PropertyBagFile::PropertyBagFile(std::string path) : path_(std::move(path)) {}

PropertyBagFile PropertyBagFile::Load(std::string path) {
  std::optional<std::string> text = host::ReadFileIfExists(path);
  if (!text) {
    throw AutomationError(error::kFileNotFound, "File not found: " + path);
  }
  return Parse(*text, std::move(path));
}

PropertyBagFile PropertyBagFile::Parse(std::string_view text, std::string path) {
  PropertyBagFile bag(std::move(path));
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  size_t number = 0;
  while (!text.empty()) {
    const size_t break_at = text.find('\n');
    std::string_view line = text.substr(0, break_at);
    text.remove_prefix(break_at == std::string_view::npos ? text.size() : break_at + 1);
    // A run of CRs before the LF is line ending too, so a bad line never keeps one.
    while (line.ends_with('\r')) line.remove_suffix(1);
    bag.ParseLine(line, ++number);
  }
  return bag;
}

void PropertyBagFile::ParseLine(std::string_view line, size_t number) {
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
  const auto earlier = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return Matches(entry, key); });
  if (earlier != entries_.end()) {
    return AddBadLine(key, line, number,
                      "the key is already set on line " + std::to_string(earlier->line));
  }
  std::string reason;
  std::optional<Variant> value = host::ParseLiteral(trimmed.substr(pos + 1), &reason);
  if (!value) return AddBadLine(key, line, number, reason);
  entries_.push_back({std::move(key), std::move(*value), std::nullopt, {}, number});
}

void PropertyBagFile::AddBadLine(std::optional<String> key, std::string_view line, size_t number,
                                 const std::string& reason) {
  std::string error =
      "Invalid property value in " + path_ + ", line " + std::to_string(number) + ": " + reason;
  entries_.push_back({std::move(key), Variant(), std::move(error), std::string(line), number});
}

bool PropertyBagFile::Matches(const Entry& entry, const String& key) const {
  return entry.key && host::NamesEqual(*entry.key, key);
}

Variant PropertyBagFile::ReadProperty(const String& key, const Variant& default_value) {
  const Entry* found = nullptr;
  for (const Entry& entry : entries_) {
    const bool unkeyed_bad = !entry.key && entry.error;
    if (unkeyed_bad || (entry.error && Matches(entry, key))) {
      throw AutomationError(error::kInvalidPropertyValue, *entry.error);
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

void PropertyBagFile::Save() const { host::WriteFileAtomically(path_, Format()); }

std::vector<String> PropertyBagFile::Keys() const {
  std::vector<String> keys;
  for (const Entry& entry : entries_) {
    if (!entry.error) keys.push_back(*entry.key);
  }
  return keys;
}

}  // namespace usborva
