// SPDX-License-Identifier: Apache-2.0
// Device strings and records the hidraw backend reads from outside: sysfs uevent text,
// UTF-8 attributes, USB string descriptors.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/hidraw/string_buffer.h"
#include "platform/hidraw/sysfs.h"
#include "platform/hidraw/usbfs.h"
#include "usborva/variant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  usborva::hidraw::ParseHidUevent(text);

  const std::u16string wide = usborva::Utf8ToString(text);
  // Never more code units than bytes, and surrogates only in pairs.
  if (wide.size() > size) __builtin_trap();
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) __builtin_trap();
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      __builtin_trap();
    }
  }
  uint8_t buffer[129];
  buffer[128] = 0x5A;
  usborva::hidraw::CopyToStringBuffer(wide, buffer, 128);
  if (buffer[128] != 0x5A) __builtin_trap();  // never past the length given

  usborva::hidraw::DecodeStringDescriptor(std::span<const uint8_t>(data, size));
  return 0;
}
