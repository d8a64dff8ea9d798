// SPDX-License-Identifier: Apache-2.0
#include "carddata/direction.h"

#include "usborva/automation_error.h"

namespace usborva::carddata {

bool IsDirectionBack(const Variant& DirectionBack) {
  switch (DirectionBack.type()) {
    case VarType::kBoolean:
      return DirectionBack.boolean();
    case VarType::kInteger:
      return DirectionBack.integer() == kVariantTrue;
    case VarType::kLong:
      return DirectionBack.long_value() == kVariantTrue;
    case VarType::kDouble:
      return DirectionBack.dbl() == kVariantTrue;
    case VarType::kByte:
      return false;
    default:
      try {
        return ToBoolean(DirectionBack);
      } catch (const AutomationError&) {
        return false;
      }
  }
}

}  // namespace usborva::carddata
