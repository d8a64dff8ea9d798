// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_SETTINGS_TEXT_H_
#define USBORVA_HOST_SETTINGS_TEXT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::host {

// The text of one application's settings file, read leniently and edited in place.
//
//   ; a comment (also '#')
//   [Startup]
//   ComPort = "3"
//   "key with = sign" = "two\nlines"
//
// Section and key names are bare when they are plain words, else quoted; values are quoted
// (see quoted_text.h for the escapes). A person may also write an unquoted value, which is
// taken as it stands with the blanks around it dropped. Names match without regard to ASCII
// case; the first matching key of the first section that has it wins (a name may appear in
// several blocks of the same section). A line that cannot be read is skipped; after a
// section header that cannot be read, entries belong to no section until the next good
// header. Editing changes exactly one line (or appends lines) and keeps every other byte.
//
// Nothing but the text is kept: each lookup reads the lines afresh in one pass, so time is
// linear in the text and memory beyond it is one line's worth, whatever the file holds.
class SettingsText {
 public:
  explicit SettingsText(std::string text);

  std::optional<String> Find(const String& section, const String& key) const;

  // The whole text with key set to value in section. An existing entry keeps its line, its
  // spelling of the key and anything after the value; a new key goes after the last entry
  // of the section's first block; a new section is appended at the end.
  std::string WithValue(const String& section, const String& key, const String& value) const;

  const std::string& text() const { return text_; }

 private:
  enum class Kind { kOther, kSection, kBadSection, kEntry };
  struct Line {
    size_t begin = 0;  // offset of the line in text_
    size_t end = 0;    // offset just past the content (before the line break)
    size_t next = 0;   // offset of the following line
    Kind kind = Kind::kOther;
    String name;             // section name or key
    String value;            // entry value
    size_t value_begin = 0;  // offsets of the value's spelling in text_
    size_t value_end = 0;
    bool empty_value = false;
  };

  // The line that starts at offset begin, read.
  Line ReadLine(size_t begin) const;
  void ParseLine(Line& line) const;
  bool ParseSection(std::string_view content, Line& line) const;
  bool ParseEntry(std::string_view content, size_t offset, Line& line) const;
  // The entry for (section, key), if any.
  std::optional<Line> FindLine(const String& section, const String& key) const;
  std::string ReplaceValue(const Line& line, const String& value) const;
  std::string InsertEntry(const String& section, const String& key, const String& value) const;

  std::string text_;
};

// A settings line for a new entry, without the line break.
std::string FormatSettingsEntry(const String& key, const String& value);
// A section header, without the line break.
std::string FormatSettingsSection(const String& section);

}  // namespace usborva::host

#endif  // USBORVA_HOST_SETTINGS_TEXT_H_
