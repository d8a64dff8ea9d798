// SPDX-License-Identifier: Apache-2.0
// Reads arbitrary bytes as an application's settings file, looks a key up, sets it, and
// checks that the edited text reads back the new value and leaves another key alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/quoted_text.h"
#include "host/settings_text.h"

namespace {

// A short name or value cut from the input, so the lookups meet the file's own names.
usborva::String Piece(std::string_view data, size_t index) {
  const size_t begin = index * 6;
  if (begin >= data.size()) return u"Startup";
  return usborva::Utf8ToString(data.substr(begin, 6));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const usborva::String section = Piece(data, 0);
  const usborva::String key = Piece(data, 1);
  const usborva::String other = Piece(data, 2) + u"~";
  usborva::String value = Piece(data, 3);
  value.push_back(u'\n');

  const usborva::host::SettingsText text{std::string(data)};
  const auto other_before = text.Find(section, other);
  text.Find(section, key);
  const usborva::host::SettingsText edited(text.WithValue(section, key, value));
  if (edited.Find(section, key) != value) std::abort();
  if (!usborva::host::NamesEqual(key, other) && edited.Find(section, other) != other_before) {
    std::abort();
  }
  return 0;
}
