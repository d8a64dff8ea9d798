// SPDX-License-Identifier: Apache-2.0
// Hex conversions on arbitrary bytes and text: nothing crashes, every failure is an
// AutomationError, and bytes -> hex -> bytes gives back the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "usborva/automation_error.h"
#include "usborva/convert.h"

namespace {

using usborva::AutomationError;
using usborva::String;
namespace convert = usborva::convert;

void Check(bool condition) {
  if (!condition) std::abort();
}

String AsUtf16(const uint8_t* data, size_t size) {
  String text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | data[i + 1] << 8));
  return text;
}

// Hex text of the digits and spaces the host writes, spaced or not.
String AsHexish(const uint8_t* data, size_t size) {
  static constexpr char16_t kAlphabet[] = u"0123456789abcdefABCDEF  Zz\t-";
  String text;
  for (size_t i = 0; i < size; ++i) text.push_back(kAlphabet[data[i] % (sizeof kAlphabet / 2 - 1)]);
  return text;
}

void RoundTrip(std::span<const uint8_t> bytes) {
  const int32_t n = static_cast<int32_t>(bytes.size());
  const String hex = convert::BytesToHex(bytes, 0, n);
  const String spaced = convert::BytesToHexSpaced(bytes, 0, n);
  Check(hex.size() == 2 * bytes.size());
  Check(bytes.empty() ? spaced.empty() : spaced.size() == 3 * bytes.size() - 1);
  const std::vector<uint8_t> original(bytes.begin(), bytes.end());
  Check(convert::HexToBytes(hex, n) == original);
  Check(convert::HexToBytes(spaced, n) == original);
  if (hex.size() <= 32766) Check(convert::HexToText(hex) == convert::BytesToText(bytes, 0, n));
}

template <typename F>
void Tolerate(F&& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    Check(e.number() == 6 || e.number() == 9 || e.number() == 13);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  RoundTrip(bytes);
  if (size >= 8) {
    const int32_t start =
        static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24);
    const int32_t count =
        static_cast<int32_t>(data[4] | data[5] << 8 | data[6] << 16 | data[7] << 24);
    Tolerate([&] { convert::BytesToHex(bytes, start, count); });
    Tolerate([&] { convert::BytesToHexSpaced(bytes, start, count); });
    Tolerate([&] { convert::BytesToText(bytes, start, count); });
  }
  for (const String& text : {AsUtf16(data, size), AsHexish(data, size)}) {
    Tolerate([&] { convert::HexToText(text); });
    Tolerate([&] { convert::HexToBytes(text, static_cast<int32_t>(size % 64)); });
    std::vector<uint8_t> buffer(size % 16);
    Tolerate([&] { convert::HexToBytesInto(text, buffer); });
  }
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t ch = char16_t(data[i] | data[i + 1] << 8);
    const uint8_t b = convert::CharToByte(ch);
    Check(b == '?' || convert::ByteToChar(b) == ch);
  }
  return 0;
}
