// SPDX-License-Identifier: Apache-2.0
#include <string_view>

#include "automation/numeric_text.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva {

namespace {

bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t ch = text[i];
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
    if (ch != word[i]) return false;
  }
  return true;
}

// "True" / "False" in any case, else any number (0 is False).
bool TextToBoolean(const String& text) {
  const std::u16string_view s = automation_internal::TrimBlanks(text);
  if (EqualsIgnoringAsciiCase(s, u"true")) return true;
  if (EqualsIgnoringAsciiCase(s, u"false")) return false;
  auto number = automation_internal::ParseNumericText(text);
  if (!number) throw AutomationError(error::kTypeMismatch);
  return automation_internal::NumericTextToDouble(*number) != 0.0;
}

}  // namespace

bool ToBoolean(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return false;
    case VarType::kNull:
      throw AutomationError(error::kInvalidUseOfNull);
    case VarType::kInteger:
      return v.integer() != 0;
    case VarType::kLong:
      return v.long_value() != 0;
    case VarType::kByte:
      return v.byte() != 0;
    case VarType::kBoolean:
      return v.boolean();
    case VarType::kDouble:
      return v.dbl() != 0.0;
    case VarType::kString:
      return TextToBoolean(v.string());
    case VarType::kByteArray:
    case VarType::kMissing:
      break;
  }
  throw AutomationError(error::kTypeMismatch);
}

}  // namespace usborva
