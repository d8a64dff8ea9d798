// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_AUTOMATION_SECURE_WIPE_H_
#define USBORVA_AUTOMATION_SECURE_WIPE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "usborva/variant.h"

namespace usborva::automation_internal {

// Overwrites size bytes at data with zeros. The stores go through a volatile pointer, so
// the optimiser cannot drop them as dead even when the memory is freed right afterwards:
// a plain memset before a free is exactly what it removes, and card data or PIN blocks
// would then survive in freed heap pages and core files.
void SecureWipe(void* data, size_t size);

// Zeros every code unit text's storage holds (its spare capacity too, which may keep an
// earlier, longer value), then empties it. The storage itself is kept.
void SecureWipe(String& text);

// Zeros every byte bytes' storage holds, its spare capacity included; the size is kept,
// so a buffer sized for a device stays usable.
void SecureWipe(std::vector<uint8_t>& bytes);

// Wipes a text when the scope ends, however it ends: a handler that throws must not leave
// the text behind.
class ScopedWipe {
 public:
  explicit ScopedWipe(String& text) : text_(text) {}
  ~ScopedWipe() { SecureWipe(text_); }
  ScopedWipe(const ScopedWipe&) = delete;
  ScopedWipe& operator=(const ScopedWipe&) = delete;

 private:
  String& text_;
};

}  // namespace usborva::automation_internal

#endif  // USBORVA_AUTOMATION_SECURE_WIPE_H_
