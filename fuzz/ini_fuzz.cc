// SPDX-License-Identifier: Apache-2.0
// The configuration-file reader over arbitrary text and arbitrary section and key names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "hid_system/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Byte 0: section name length, byte 1: key name length, byte 2: buffer size; then the
  // names, then the file text.
  size_t section_length = data[0] % 16;
  size_t key_length = data[1] % 16;
  uint32_t buffer_size = data[2] < 128 ? data[2] : 2048;
  data += 3;
  size -= 3;
  if (section_length + key_length > size) return 0;
  std::string section(reinterpret_cast<const char*>(data), section_length);
  std::string key(reinterpret_cast<const char*>(data) + section_length, key_length);
  std::string_view text(reinterpret_cast<const char*>(data) + section_length + key_length,
                        size - section_length - key_length);
  std::string buffer(buffer_size + 1, '\x7F');
  uint32_t n = usborva::hid_system::ReadProfileString(text, section.c_str(), key.c_str(), "FALSE",
                                                      buffer.data(), buffer_size);
  if (buffer_size == 0 ? n != 0 : (n >= buffer_size || buffer[n] != '\0')) __builtin_trap();
  if (buffer[buffer_size] != '\x7F') __builtin_trap();  // nothing past the size given
  return 0;
}
