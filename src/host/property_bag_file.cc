// SPDX-License-Identifier: Apache-2.0
#include "usborva/property_bag_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "host/file_system.h"
#include "host/property_literal.h"
#include "host/quoted_text.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

constexpr std::string_view kHeader = "; USBORVA property bag\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A hash of the key that NamesEqual keys share: ASCII letters in one case.
uint64_t FoldedHash(const String& key) {
  uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a, then a final mix for the low bits
  for (char16_t c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    hash = (hash ^ c) * 0x100000001b3u;
  }
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdu;
  return hash ^ (hash >> 33);
}

}  // namespace

// An open-addressing table from a key to its first entry. Sized once for every key the
// text can hold at half load, it never grows, keeps no copy of a key (the entry has it) and
// costs eight bytes a slot, so it stays quick however many keys the file holds.
class PropertyBagFile::KeyIndex {
 public:
  explicit KeyIndex(size_t most_keys)
      : slots_(std::bit_ceil(std::max<size_t>(16, most_keys * 2))) {}

  // The line that first set key, or nullopt after recording that key's entry is about to
  // become entries[entries.size()].
  std::optional<size_t> Record(const std::vector<Entry>& entries, const String& key) {
    const uint64_t hash = FoldedHash(key);
    const auto tag = static_cast<uint32_t>(hash >> 32);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.entry == 0) {
        slot = {tag, static_cast<uint32_t>(entries.size() + 1)};
        return std::nullopt;
      }
      const Entry& earlier = entries[slot.entry - 1];
      if (slot.tag == tag && host::NamesEqual(earlier.key, key)) return earlier.line;
    }
  }

 private:
  struct Slot {
    uint32_t tag = 0;    // the hash's high half
    uint32_t entry = 0;  // index + 1 in the entries; 0: free
  };
  std::vector<Slot> slots_;
};

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
  // Every entry's line holds a character and a line break, so the text holds at most this
  // many; sizing for them once spares a large file being moved and rehashed step by step.
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  const size_t most = std::min(lines, text.size() / 2 + 1);
  KeyIndex first_lines(most);
  bag.entries_.reserve(most);
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

void PropertyBagFile::ParseLine(std::string_view line, size_t number, KeyIndex& first_lines) {
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
      first_lines.Record(entries_, key);  // a later repeat is still a repeat
      return AddBadLine(key, line, number, "no '=' after the key");
    }
  } else {
    pos = trimmed.find('=');
    if (pos == std::string_view::npos) {
      return AddBadLine(std::nullopt, line, number, "not a `Key = value` line");
    }
    key = Utf8ToString(host::TrimBlanks(trimmed.substr(0, pos)));
    if (key.empty()) return AddBadLine(std::nullopt, line, number, "no key before '='");
  }
  if (const std::optional<size_t> earlier = first_lines.Record(entries_, key)) {
    return AddBadLine(key, line, number,
                      "the key is already set on line " + std::to_string(*earlier));
  }
  std::string reason;
  std::optional<Variant> value = host::ParseLiteral(trimmed.substr(pos + 1), &reason);
  if (!value) return AddBadLine(key, line, number, std::move(reason));
  entries_.push_back({std::move(key), std::move(*value), number});
}

void PropertyBagFile::AddBadLine(std::optional<String> key, std::string_view line, size_t number,
                                 std::string reason) {
  // A run of lines whose key cannot be read acts as its first line alone, so it is kept as
  // one entry: a file of nothing else then costs little more memory than its text.
  if (!key && !entries_.empty() && entries_.back().keyless) {
    bad_lines_[entries_.back().bad].raw.append("\n").append(line);
    return;
  }
  bad_lines_.push_back({std::move(reason), std::string(line)});
  entries_.push_back({key ? std::move(*key) : String(), Variant(), number,
                      static_cast<uint32_t>(bad_lines_.size() - 1), !key});
}

std::string PropertyBagFile::ErrorText(const Entry& entry) const {
  return "Invalid property value in " + path_ + ", line " + std::to_string(entry.line) + ": " +
         bad_lines_[entry.bad].reason;
}

bool PropertyBagFile::Matches(const Entry& entry, const String& key) const {
  return !entry.keyless && host::NamesEqual(entry.key, key);
}

Variant PropertyBagFile::ReadProperty(const String& key, const Variant& default_value) {
  const Entry* found = nullptr;
  for (const Entry& entry : entries_) {
    if (entry.keyless || (entry.IsBad() && Matches(entry, key))) {
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
    if (store) entries_.push_back({key, value, 0});
    return;
  }
  // Later lines for the same key can only be bad repeats; the new value replaces them all.
  entries_.erase(std::remove_if(std::next(first), entries_.end(),
                                [&](const Entry& entry) { return Matches(entry, key); }),
                 entries_.end());
  if (store) {
    *first = Entry{key, value, 0};
  } else {
    entries_.erase(first);
  }
}

std::string PropertyBagFile::Format() const {
  std::string text(kHeader);
  for (const Entry& entry : entries_) {
    if (entry.IsBad()) {
      text += bad_lines_[entry.bad].raw;
    } else {
      text += host::IsBareName(entry.key) ? StringToUtf8(entry.key) : host::Quote(entry.key);
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
    if (!entry.IsBad()) keys.push_back(entry.key);
  }
  return keys;
}

}  // namespace usborva
