// SPDX-License-Identifier: Apache-2.0
#include <charconv>
#include <cmath>
#include <string>

#include "automation/utf16_bytes.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva {

namespace {

String Ascii(std::string_view text) { return String(text.begin(), text.end()); }

// The runtime prints doubles with 15 significant digits, trailing zeros dropped, and switches
// to "1E+20" / "1E-05" notation where printf's %G would.
String DoubleToString(double d) {
  if (std::isnan(d)) return u"NaN";
  if (std::isinf(d)) return d > 0 ? u"Infinity" : u"-Infinity";
  if (d == 0.0) return u"0";  // never "-0"
  char buffer[64];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 15);
  String text;
  for (const char* p = buffer; p != end; ++p) text.push_back(*p == 'e' ? u'E' : char16_t(*p));
  return text;
}

}  // namespace

String ToString(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return String();
    case VarType::kNull:
      throw AutomationError(error::kInvalidUseOfNull);
    case VarType::kInteger:
      return Ascii(std::to_string(v.integer()));
    case VarType::kLong:
      return Ascii(std::to_string(v.long_value()));
    case VarType::kByte:
      return Ascii(std::to_string(v.byte()));
    case VarType::kBoolean:
      return v.boolean() ? u"True" : u"False";
    case VarType::kDouble:
      return DoubleToString(v.dbl());
    case VarType::kString:
      return v.string();
    case VarType::kByteArray:
      return automation_internal::BytesToUtf16(v.bytes());
    case VarType::kMissing:
      break;
  }
  throw AutomationError(error::kTypeMismatch);
}

}  // namespace usborva
