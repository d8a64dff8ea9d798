// SPDX-License-Identifier: Apache-2.0
// Any text as card data: the structured view never faults, MaskedPan never shows more
// than ten characters of the account number, and no name field holds a digit.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "usborva/card_view.h"

namespace {

using usborva::fuzz::Require;

}  // namespace

// Two bytes per UTF-16 code unit, low byte first, so non-ASCII text is reached too; a byte
// with the high bit clear on its own stands for that ASCII character, which keeps the
// sentinels easy to find.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  usborva::String text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] < 0x80 || i + 1 == size) {
      text.push_back(data[i]);
    } else {
      text.push_back(static_cast<char16_t>(data[i] << 8 | data[i + 1]));
      ++i;
    }
  }
  const usborva::CardView view = usborva::ParseCardView(text);
  Require(view.pan.size() <= text.size());
  Require(!view.pan_luhn_valid || (view.pan.size() >= 8 && view.pan.size() <= 19));
  const usborva::String masked = usborva::MaskedPan(view.pan);
  Require(masked.size() == view.pan.size());
  size_t shown = 0;
  for (size_t i = 0; i < masked.size(); ++i) {
    if (masked[i] != u'*') {
      Require(masked[i] == view.pan[i]);
      ++shown;
    }
  }
  Require(shown <= 10 && (masked.empty() || shown <= masked.size() / 2 || masked.size() >= 13));
  // A name field never carries a digit or a character outside ASCII: a number there would be
  // shown as a name.
  for (const usborva::String* name :
       {&view.surname, &view.first_name, &view.middle_initial, &view.title}) {
    for (const char16_t ch : *name) Require(ch >= 0x20 && ch < 0x60 && !(ch >= u'0' && ch <= u'9'));
  }
  if (view.track1_malformed) Require(view.surname.empty() && view.track1_discretionary.empty());
  return 0;
}
