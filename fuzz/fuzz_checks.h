// SPDX-License-Identifier: Apache-2.0
// What the fuzz targets check their results with.
#ifndef USBORVA_FUZZ_FUZZ_CHECKS_H_
#define USBORVA_FUZZ_FUZZ_CHECKS_H_

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "usborva/events.h"

namespace usborva::fuzz {

// A broken promise stops the run where it happened, with the input that broke it.
inline void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// A message as a person reads it for numbers: each escape (\xHH, \uHHHH) as one blank, as
// the guard reads the character it stands for, so an escape's hex digits do not join the
// digits beside it.
inline std::string EscapesAsBlanks(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'u')) {
      i += std::min<size_t>(text[i + 1] == 'x' ? 4 : 6, text.size() - i);
      out += ' ';
      continue;
    }
    out += text[i++];
  }
  return out;
}

// The event sink of a fuzzed control: whatever the report, a PINResponse carries a key
// serial number of 20 hex digits and a PIN block of 16.
class PinShapeCheck : public EventSink {
 public:
  void PINResponse(uint8_t&, String& KSN, String& EPB) override {
    Require(KSN.size() == 20 && EPB.size() == 16);
  }
};

}  // namespace usborva::fuzz

#endif  // USBORVA_FUZZ_FUZZ_CHECKS_H_
