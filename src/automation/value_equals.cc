// SPDX-License-Identifier: Apache-2.0
#include "usborva/variant.h"

namespace usborva {

namespace {

bool IsNumeric(VarType type) {
  return type == VarType::kInteger || type == VarType::kLong || type == VarType::kByte ||
         type == VarType::kBoolean || type == VarType::kDouble;
}

}  // namespace

// Null equals nothing, not even Null (a comparison with Null is never True). Empty stands
// for 0 beside a number and for "" beside text. Text and numbers never compare equal: the
// property bag must not drop the text "0" because its default is the number 0.
bool ValueEquals(const Variant& a, const Variant& b) {
  const VarType ta = a.type();
  const VarType tb = b.type();
  if (ta == VarType::kNull || tb == VarType::kNull) return false;
  if (ta == VarType::kMissing || tb == VarType::kMissing) return ta == tb;
  if (ta == VarType::kEmpty && tb == VarType::kEmpty) return true;
  if (ta == VarType::kString && tb == VarType::kString) return a.string() == b.string();
  if (ta == VarType::kByteArray && tb == VarType::kByteArray) return a.bytes() == b.bytes();
  if (ta == VarType::kEmpty && tb == VarType::kString) return b.string().empty();
  if (ta == VarType::kString && tb == VarType::kEmpty) return a.string().empty();
  const bool a_number = IsNumeric(ta) || ta == VarType::kEmpty;
  const bool b_number = IsNumeric(tb) || tb == VarType::kEmpty;
  return a_number && b_number && ToDouble(a) == ToDouble(b);  // exact for every subtype
}

}  // namespace usborva
