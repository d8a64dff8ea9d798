// SPDX-License-Identifier: Apache-2.0
// Makes the Windows HID stack the native backend of the Windows build.
#include "platform/win32/win32_hid_system.h"
#include "usborva/hid_system.h"

namespace usborva {

HidSystem& NativeHidSystem() { return win32::Win32HidSystem(); }

}  // namespace usborva
