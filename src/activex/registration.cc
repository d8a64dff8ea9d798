// SPDX-License-Identifier: Apache-2.0
#include "activex/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "activex/com_ptr.h"
#include "activex/module.h"
#include "ctlUSBORVA.h"

namespace usborva::activex {
namespace {

constexpr wchar_t kClassName[] = L"USBORVA Control";
// CATID_Control: the category form designers list controls by.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

HRESULT SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &handle, nullptr);
  if (result == ERROR_SUCCESS) {
    result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
  }
  return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT WriteClassKeys(const std::wstring& path) {
  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_USBORVA);
  const std::wstring misc = std::to_wstring(
      OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
      OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INVISIBLEATRUNTIME);
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } entries[] = {
      {clsid, nullptr, kClassName},
      {clsid + L"\\InprocServer32", nullptr, path},
      {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {clsid + L"\\ProgID", nullptr, kProgId},
      {clsid + L"\\TypeLib", nullptr, GuidText(LIBID_ctlUSBORVA)},
      {clsid + L"\\Version", nullptr, L"1.0"},
      {clsid + L"\\Control", nullptr, L""},
      {clsid + L"\\Programmable", nullptr, L""},
      {clsid + L"\\MiscStatus", nullptr, L"0"},
      {clsid + L"\\MiscStatus\\1", nullptr, misc},
      {clsid + L"\\Implemented Categories\\" + kControlCategory, nullptr, L""},
      {kProgId, nullptr, kClassName},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_USBORVA)},
  };
  for (const auto& entry : entries) {
    HRESULT hr = SetValue(entry.key, entry.name, entry.value);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterServer(HINSTANCE module) {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(module, path, MAX_PATH) == 0) return SELFREG_E_CLASS;
  HRESULT hr = WriteClassKeys(path);
  if (FAILED(hr)) {
    UnregisterServer();
    return hr;
  }
  ComPtr<ITypeLib> library;
  hr = LoadTypeLibEx(path, REGKIND_REGISTER, library.Put());
  if (FAILED(hr)) {
    UnregisterServer();
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_USBORVA);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  UnRegisterTypeLib(LIBID_ctlUSBORVA, 1, 0, LOCALE_NEUTRAL,
                    sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  return S_OK;
}

}  // namespace usborva::activex
