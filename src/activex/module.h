// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_MODULE_H_
#define USBORVA_ACTIVEX_MODULE_H_

// clang-format off
#include <windows.h>
#include <oaidl.h>
// clang-format on

namespace usborva::activex {

// The component's module: its handle, the count of live objects and server locks that
// DllCanUnloadNow reports, and its embedded type library.
HINSTANCE ModuleHandle();
void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
bool CanUnload();
// The type library embedded in the component (AddRef'ed), or nullptr.
HRESULT ModuleTypeLib(ITypeLib** library);

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_MODULE_H_
