// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_STRING_BUFFER_H_
#define USBORVA_PLATFORM_HIDRAW_STRING_BUFFER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace usborva::hidraw {

// Writes text into the caller's buffer of length bytes the way the HID string calls do:
// UTF-16LE, as many characters as fit, NUL-terminated only when the text is shorter than the
// buffer (a text of length / 2 characters or more fills it with no NUL). False when the
// buffer cannot hold one character.
bool CopyToStringBuffer(std::u16string_view text, void* buffer, uint32_t length);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_STRING_BUFFER_H_
