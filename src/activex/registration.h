// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_REGISTRATION_H_
#define USBORVA_ACTIVEX_REGISTRATION_H_

#include <windows.h>

namespace usborva::activex {

inline constexpr wchar_t kProgId[] = L"ctlUSBORVA.USBORVA";

// Writes the class (in-process server, apartment threaded, ProgID, type library, control
// and its category) and registers the embedded type library. Undone by UnregisterServer,
// which leaves no key of the component behind.
HRESULT RegisterServer(HINSTANCE module);
HRESULT UnregisterServer();

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_REGISTRATION_H_
