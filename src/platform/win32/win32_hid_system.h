// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_
#define USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_

#include "usborva/hid_system.h"

namespace usborva::win32 {

// The HID stack of the Windows machine the component runs on: hid.dll, setupapi.dll and
// kernel32. One for the process: the Windows calls it makes are safe from any thread.
// NativeHidSystem() answers it in the Windows build. Where it differs from the seam's
// contract it is because Windows does: last errors, handle values and the profile reader
// (the default for an unreadable file) are the system's own.
HidSystem& Win32HidSystem();

}  // namespace usborva::win32

#endif  // USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_
