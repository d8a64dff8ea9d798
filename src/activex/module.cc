// SPDX-License-Identifier: Apache-2.0
// The in-process server: module bookkeeping, the class factory and the four exports.
#include "activex/module.h"

// clang-format off
#include <windows.h>
#include <olectl.h>
// clang-format on

#include "activex/com_entry.h"
#include "activex/control_object.h"
#include "activex/interface_table.h"
#include "activex/message_timer.h"
#include "activex/registration.h"

namespace usborva::activex {
namespace {

HINSTANCE module_handle = nullptr;
LONG live_objects = 0;
LONG server_locks = 0;

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    return QueryInterfaceTable({{IID_IUnknown, this}, {IID_IClassFactory, this}}, iid, object);
  }
  // The factory is static: its references only keep the server loaded.
  STDMETHODIMP_(ULONG) AddRef() override {
    LockServer(TRUE);
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    LockServer(FALSE);
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return ControlObject::Create(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    activex::LockServer(lock != FALSE);
    return S_OK;
  }
};

ClassFactory factory;

}  // namespace

HINSTANCE ModuleHandle() { return module_handle; }

// The portable core keeps per-thread state (the device record) whose clean-up runs when a
// thread ends. Once a control has lived in this process the module stays loaded, so that
// clean-up never calls into unloaded code.
void ObjectCreated() {
  if (InterlockedIncrement(&live_objects) == 1) {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&ObjectCreated), &pinned);
  }
}

void ObjectDestroyed() { InterlockedDecrement(&live_objects); }

void LockServer(bool lock) {
  if (lock) {
    InterlockedIncrement(&server_locks);
  } else {
    InterlockedDecrement(&server_locks);
  }
}

bool CanUnload() { return live_objects == 0 && server_locks == 0; }

HRESULT ModuleTypeLib(ITypeLib** library) {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(module_handle, path, MAX_PATH) == 0) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  return LoadTypeLibEx(path, REGKIND_NONE, library);
}

}  // namespace usborva::activex

using usborva::activex::ErrorReport;
using usborva::activex::Guarded;
using usborva::activex::ModuleHandle;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    usborva::activex::module_handle = instance;
    DisableThreadLibraryCalls(instance);
    usborva::activex::MessageTimer::RegisterWindowClass(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    usborva::activex::MessageTimer::UnregisterWindowClass(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_USBORVA)) return CLASS_E_CLASSNOTAVAILABLE;
  return usborva::activex::factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return usborva::activex::CanUnload() ? S_OK : S_FALSE;
}

// Registration builds key names as strings: running out of memory there is a failure
// to register, not an exception across the export.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return Guarded(ErrorReport::kResultOnly,
                 [] { return usborva::activex::RegisterServer(ModuleHandle()); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return Guarded(ErrorReport::kResultOnly, [] { return usborva::activex::UnregisterServer(); });
}
