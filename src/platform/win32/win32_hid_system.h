// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_
#define USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_

#include "usborva/hid_system.h"

namespace usborva::win32 {

// The HID stack of the Windows machine the component runs on: hid.dll, setupapi.dll and
// kernel32. Makes it the native backend of every thread that has none installed.
void InstallNativeHidSystem();

// The backend itself, for hosts that install it explicitly.
HidSystem& Win32HidSystem();

}  // namespace usborva::win32

#endif  // USBORVA_PLATFORM_WIN32_WIN32_HID_SYSTEM_H_
