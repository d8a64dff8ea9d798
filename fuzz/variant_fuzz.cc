// SPDX-License-Identifier: Apache-2.0
// Text -> number and Boolean conversions on arbitrary text: nothing crashes, failures are
// only type mismatch or overflow, and a number read back from its own text is the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace {

using usborva::AutomationError;
using usborva::String;
using usborva::Variant;

void Check(bool condition) {
  if (!condition) std::abort();
}

template <typename F>
auto Attempt(F&& call) -> std::optional<decltype(call())> {
  try {
    return call();
  } catch (const AutomationError& e) {
    Check(e.number() == 6 || e.number() == 13);
    return std::nullopt;
  }
}

void Exercise(const String& text) {
  const Variant v = Variant::FromString(text);
  const auto as_long = Attempt([&] { return usborva::ToLong(v); });
  const auto as_integer = Attempt([&] { return usborva::ToInteger(v); });
  const auto as_byte = Attempt([&] { return usborva::ToByte(v); });
  const auto as_double = Attempt([&] { return usborva::ToDouble(v); });
  Attempt([&] { return usborva::ToBoolean(v); });
  if (as_long) {
    const String printed = usborva::ToString(Variant::FromLong(*as_long));
    Check(usborva::ToLong(Variant::FromString(printed)) == *as_long);
    Check(as_double.has_value());
  }
  // Without a hex or octal pattern, whose width depends on the target, every integer type
  // reads the same value.
  if (text.find(u'&') == String::npos) {
    if (as_integer) Check(as_long && *as_long == *as_integer);
    if (as_byte) Check(as_long && *as_long == *as_byte);
  }
  if (as_double && std::isfinite(*as_double)) {
    const String printed = usborva::ToString(Variant::FromDouble(*as_double));
    const double back = usborva::ToDouble(Variant::FromString(printed));
    // Subnormals carry fewer digits than the 15 printed; below them only the order matters.
    Check(std::fabs(back - *as_double) <= std::fabs(*as_double) * 1e-14 ||
          std::fabs(*as_double) < 1e-300);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  String latin1(raw.begin(), raw.end());
  for (char16_t& ch : latin1) ch = static_cast<uint8_t>(ch);
  Exercise(latin1);
  const String decoded = usborva::Utf8ToString(raw);
  Exercise(decoded);
  Check(usborva::Utf8ToString(usborva::StringToUtf8(decoded)) == decoded);
  return 0;
}
