// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_AUTOMATION_UTF16_BYTES_H_
#define USBORVA_AUTOMATION_UTF16_BYTES_H_

#include "usborva/variant.h"

namespace usborva::automation_internal {

// The runtime's Byte array <-> String assignment: UTF-16LE code units, low byte first.
// An odd last byte becomes a code unit of its own (high byte 0).
String BytesToUtf16(const ByteArray& bytes);
ByteArray Utf16ToBytes(const String& text);

}  // namespace usborva::automation_internal

#endif  // USBORVA_AUTOMATION_UTF16_BYTES_H_
