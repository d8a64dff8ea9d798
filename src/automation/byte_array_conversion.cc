// SPDX-License-Identifier: Apache-2.0
#include "automation/utf16_bytes.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva {

// Only text and byte arrays have a Byte-array form, as for the runtime's assignment to a
// Byte array; Empty and numbers are a type mismatch.
ByteArray ToByteArray(const Variant& v) {
  switch (v.type()) {
    case VarType::kByteArray:
      return v.bytes();
    case VarType::kString:
      return automation_internal::Utf16ToBytes(v.string());
    case VarType::kNull:
      throw AutomationError(error::kInvalidUseOfNull);
    default:
      break;
  }
  throw AutomationError(error::kTypeMismatch);
}

}  // namespace usborva
