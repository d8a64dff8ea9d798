// SPDX-License-Identifier: Apache-2.0
#include "automation/secure_wipe.h"

namespace usborva::automation_internal {

void SecureWipe(void* data, size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}

void SecureWipe(String& text) {
  // Growing to the capacity never reallocates, and makes the whole storage ours to write.
  text.resize(text.capacity());
  SecureWipe(text.data(), text.size() * sizeof(char16_t));
  text.clear();
}

void SecureWipe(std::vector<uint8_t>& bytes) {
  const size_t size = bytes.size();
  bytes.resize(bytes.capacity());
  SecureWipe(bytes.data(), bytes.size());
  bytes.resize(size);
}

}  // namespace usborva::automation_internal
