// SPDX-License-Identifier: Apache-2.0
#include "automation/numeric_text.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva {

double ToDouble(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return 0.0;
    case VarType::kNull:
      throw AutomationError(error::kInvalidUseOfNull);
    case VarType::kInteger:
      return v.integer();
    case VarType::kLong:
      return v.long_value();
    case VarType::kByte:
      return v.byte();
    case VarType::kBoolean:
      return v.boolean() ? kVariantTrue : kVariantFalse;
    case VarType::kDouble:
      return v.dbl();
    case VarType::kString:
      if (auto number = automation_internal::ParseNumericText(v.string())) {
        return automation_internal::NumericTextToDouble(*number);
      }
      break;
    case VarType::kByteArray:
    case VarType::kMissing:
      break;
  }
  throw AutomationError(error::kTypeMismatch);
}

}  // namespace usborva
