// SPDX-License-Identifier: Apache-2.0
#include <limits>

#include "automation/numeric_text.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva {

namespace {

using automation_internal::CheckRange;
using automation_internal::NumericTextToInteger;
using automation_internal::ParseNumericText;
using automation_internal::RoundDoubleToInteger;

// One rule for Long, Integer and Byte; only the range and the width a hex pattern fills
// differ (pattern_bits 0: the pattern is an unsigned value).
int64_t ToIntegral(const Variant& v, int64_t min, int64_t max, int pattern_bits) {
  switch (v.type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      throw AutomationError(error::kInvalidUseOfNull);
    case VarType::kInteger:
      return CheckRange(v.integer(), min, max);
    case VarType::kLong:
      return CheckRange(v.long_value(), min, max);
    case VarType::kByte:
      return CheckRange(v.byte(), min, max);
    case VarType::kBoolean:
      return CheckRange(v.boolean() ? kVariantTrue : kVariantFalse, min, max);
    case VarType::kDouble:
      return RoundDoubleToInteger(v.dbl(), min, max);
    case VarType::kString:
      if (auto number = ParseNumericText(v.string())) {
        return NumericTextToInteger(*number, min, max, pattern_bits);
      }
      break;
    case VarType::kByteArray:
    case VarType::kMissing:
      break;
  }
  throw AutomationError(error::kTypeMismatch);
}

template <typename T>
T ToIntegralType(const Variant& v, int pattern_bits) {
  return static_cast<T>(
      ToIntegral(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), pattern_bits));
}

}  // namespace

int32_t ToLong(const Variant& v) { return ToIntegralType<int32_t>(v, 32); }
int16_t ToInteger(const Variant& v) { return ToIntegralType<int16_t>(v, 16); }
uint8_t ToByte(const Variant& v) { return ToIntegralType<uint8_t>(v, 0); }

}  // namespace usborva
