// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PROPERTY_BAG_FILE_H_
#define USBORVA_PROPERTY_BAG_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/container.h"
#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// A property bag kept in a text file a person can read, one `Key = value` line per stored
/// key, each value a typed literal that keeps the Variant's subtype (see
/// docs/property-bag-format.md):
///
/// @verbatim
///   ; USBORVA property bag
///   CardData = "%B4111...?"
///   Track1Length = 76
///   PortOpen = True
///   DeviceState = CByte(3)
/// @endverbatim
///
/// Keys match without regard to ASCII case. Loading never changes the file. A line that
/// cannot be read does not fail the load: ReadProperty of that line's key throws
/// AutomationError 380 naming the file and the line, so the control's loading stops at that
/// key; a bad line whose key cannot be read at all fails every ReadProperty, since it might
/// hold any key. A later line repeating a key counts as a bad line for that key.
class USBORVA_EXPORT PropertyBagFile final : public PropertyBag {
 public:
  /// The largest bag file loaded or saved: 1 MiB, hundreds of times what the control's keys
  /// need. Load refuses a larger file, or anything but a regular file, with error 75.
  static constexpr size_t kMaxFileBytes = size_t{1} << 20;

  /// An empty bag that Save writes to path.
  explicit PropertyBagFile(std::string path);
  /// The bag stored at path: error 53 when the file does not exist, 75 when it cannot be
  /// read.
  static PropertyBagFile Load(std::string path);
  /// The bag that text holds, as though read from path (which only names it in errors).
  static PropertyBagFile Parse(std::string_view text, std::string path);

  /// The value stored under key, or default_value when the bag has no such key. Throws
  /// AutomationError 380 (naming the file and the line) when key's line cannot be read, or
  /// when a line whose key cannot be read is in the file.
  Variant ReadProperty(const String& key, const Variant& default_value) override;
  /// Stores value under key, or removes key when value equals default_value (ValueEquals),
  /// so that a bag loaded, changed and saved again holds no stale values. A key keeps its
  /// place in the file; a new key goes at the end.
  void WriteProperty(const String& key, const Variant& value,
                     const Variant& default_value) override;

  /// The file text: a comment line, then one line per entry in order. Bad lines read from a
  /// file are written back unchanged, so a save loses nothing a person could still mend.
  std::string Format() const;
  /// Writes Format() to path atomically (temporary file, flush, rename), mode 0600; throws
  /// AutomationError 75 on failure, or when the text would pass kMaxFileBytes, leaving the
  /// old file as it was.
  void Save() const;

  const std::string& path() const { return path_; }  ///< Where Save writes.
  /// Keys stored with a readable value, in file order.
  std::vector<String> Keys() const;

 private:
  static constexpr uint32_t kNotBad = UINT32_MAX;
  // What a line that cannot be read keeps, apart from its entry: few lines are bad, so the
  // entries stay small.
  struct BadLine {
    std::string reason;  // why
    std::string raw;     // its text, as read (lines, for a run of keyless ones)
  };
  struct Entry {
    String key;
    Variant value;
    size_t line = 0;         // where it was read (0: written since)
    uint32_t bad = kNotBad;  // for a bad line, its index in bad_lines_
    bool keyless = false;    // a bad line whose key cannot be read
    bool IsBad() const { return bad != kNotBad; }
  };
  // The first line of each key read so far, so that a repeat is found without a search
  // through every entry before it (defined in property_bag_file.cc).
  class KeyIndex;

  bool Matches(const Entry& entry, const String& key) const;
  void ParseLine(std::string_view line, size_t number, KeyIndex& first_lines);
  void AddBadLine(std::optional<String> key, std::string_view line, size_t number,
                  std::string reason);
  // "Invalid property value in <path>, line <n>: <why>" for a bad entry.
  std::string ErrorText(const Entry& entry) const;

  std::string path_;
  std::vector<Entry> entries_;
  std::vector<BadLine> bad_lines_;
};

}  // namespace usborva

#endif  // USBORVA_PROPERTY_BAG_FILE_H_
