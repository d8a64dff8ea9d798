// SPDX-License-Identifier: Apache-2.0
// A container that misbehaves on purpose, and a caller that passes odd arguments: the
// control must hand each failure of its container back as that failure, keep its state
// as the portable control does, and refuse bad arguments without crashing.
//   exactness_test.exe            the container and argument checks (needs USBORVA_SCENARIO)
//   exactness_test.exe codepage N a track byte 0xC0 must arrive as the character N (decimal)
// Prints "exactness: N passed, N failed" and exits non-zero on any failure.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>

#include "ctlUSBORVA.h"
#include "ole_test_support.h"

namespace {

constexpr HRESULT kError13 = HRESULT(0x800A000D);
constexpr HRESULT kError75 = HRESULT(0x800A004B);
constexpr HRESULT kError382 = HRESULT(0x800A017E);
constexpr HRESULT kError387 = HRESULT(0x800A0183);
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\USBHID\\Startup";

// The container's side, with a switch for every failure it can be told to return.
class Host final : public IOleClientSite,
                   public IDispatch,
                   public IPropertyNotifySink,
                   public IPropertyBag {
 public:
  bool has_ambients = true;
  HRESULT ambient_result = S_OK;
  VARIANT ambient{};  // VT_EMPTY until a test sets it: then UserMode delivers it
  HRESULT notify_result = S_OK;
  int changes = 0;
  std::wstring failing_key;
  HRESULT read_result = S_OK;
  HRESULT write_result = S_OK;
  std::map<std::wstring, VARIANT> bag;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch) && has_ambients) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = static_cast<IPropertyNotifySink*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyBag)) {
      *out = static_cast<IPropertyBag*>(this);
    }
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    if (ambient_result == DISP_E_EXCEPTION && exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->scode = HRESULT(0x800A0034);
      exception->bstrDescription = SysAllocString(L"ambient broke");
    }
    if (FAILED(ambient_result)) return ambient_result;
    return VariantCopy(result, &ambient);
  }

  STDMETHODIMP OnChanged(DISPID) override {
    ++changes;
    return notify_result;
  }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (name == failing_key) return read_result;
    auto it = bag.find(name);
    if (it == bag.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    if (FAILED(write_result)) return write_result;
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    VariantClear(&bag[name]);
    bag[name] = copy;
    return S_OK;
  }
};

// A second notification sink that only counts, and an object with no default value.
class Counter final : public IPropertyNotifySink, public IDispatch {
 public:
  int changes = 0;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = static_cast<IPropertyNotifySink*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    }
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP OnChanged(DISPID) override { return ++changes, S_OK; }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

std::wstring LastErrorText() {
  IErrorInfo* info = nullptr;
  BSTR description = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(&description), info->Release();
  return Text(description);
}

bool PortOpen(_USBORVA* control) {
  VARIANT_BOOL open = VARIANT_FALSE;
  control->get_PortOpen(&open);
  return open != VARIANT_FALSE;
}

HRESULT PutFirmware(_USBORVA* control) {
  BSTR x = SysAllocString(L"x");
  const HRESULT hr = control->put_Firmware(x);
  SysFreeString(x);
  return hr;
}

// "No container supplies it" is run mode; a container that has the ambient and fails to
// deliver it fails the put with its own error, and nothing is stored or opened.
void Ambient(Host& host, _USBORVA* control) {
  host.has_ambients = false;
  Check("site without ambients: run mode", PutFirmware(control) == kError382);
  host.has_ambients = true;
  host.ambient_result = DISP_E_MEMBERNOTFOUND;
  Check("ambients without UserMode: run mode", PutFirmware(control) == kError382);
  host.ambient_result = E_FAIL;
  Check("failing ambient: refused put returns it", PutFirmware(control) == E_FAIL);
  Check("failing ambient: PortOpen put returns it", control->put_PortOpen(VARIANT_TRUE) == E_FAIL);
  Check("failing ambient: the port stays closed", !PortOpen(control));
  host.ambient_result = DISP_E_EXCEPTION;
  Check("ambient exception: its code", PutFirmware(control) == HRESULT(0x800A0034));
  Check("ambient exception: its text", LastErrorText() == L"ambient broke");
  host.ambient_result = S_OK;
  V_VT(&host.ambient) = VT_BSTR;
  V_BSTR(&host.ambient) = SysAllocString(L"maybe");
  Check("ambient no Boolean: 13", PutFirmware(control) == kError13);
  Check("ambient no Boolean: PortOpen 13", control->put_PortOpen(VARIANT_TRUE) == kError13);
  Check("ambient no Boolean: the port stays closed", !PortOpen(control));
  VariantClear(&host.ambient);
  V_VT(&host.ambient) = VT_I4;
  V_I4(&host.ambient) = 0;
  Check("ambient 0 is design mode", PutFirmware(control) == kError387);
  V_I4(&host.ambient) = -1;
  Check("ambient -1 is run mode", PutFirmware(control) == kError382);
}

// A failing notification fails the put, after every sink heard of it; the value stays.
void Notifications(Host& host, IConnectionPoint* notify, _USBORVA* control) {
  Counter other;
  DWORD cookie = 0;
  notify->Advise(static_cast<IPropertyNotifySink*>(&other), &cookie);
  host.notify_result = E_ACCESSDENIED;
  BSTR kept = SysAllocString(L"kept");
  Check("failing notification: the put returns it", control->put_CardData(kept) == E_ACCESSDENIED);
  SysFreeString(kept);
  BSTR text = nullptr;
  control->get_CardData(&text);
  Check("failing notification: the value stays", Text(text) == L"kept");
  Check("failing notification: every sink told", other.changes == 1);
  host.notify_result = S_OK;
  Check("working notification: S_OK", control->put_Track1Length(7) == S_OK);

  // Both connections, one by one, with their cookies; a clone keeps its place.
  IEnumConnections* connections = nullptr;
  Check("EnumConnections", notify->EnumConnections(&connections) == S_OK && connections);
  if (connections == nullptr) return notify->Unadvise(cookie), void();
  CONNECTDATA data[3] = {};
  ULONG fetched = 0;
  Check("first connection", connections->Next(1, data, &fetched) == S_OK && fetched == 1);
  IEnumConnections* clone = nullptr;
  Check("clone", connections->Clone(&clone) == S_OK && clone);
  Check("second connection", connections->Next(2, data + 1, &fetched) == S_FALSE && fetched == 1 &&
                                 data[1].dwCookie == cookie && data[1].pUnk != nullptr);
  CONNECTDATA from_clone{};
  Check("clone continues where it was",
        clone->Next(1, &from_clone, nullptr) == S_OK && from_clone.dwCookie == cookie);
  Check("skip past the end", clone->Skip(5) == S_FALSE);
  connections->Reset();
  Check("reset", connections->Next(1, data + 2, &fetched) == S_OK && data[2].dwCookie != cookie);
  for (CONNECTDATA& each : data) each.pUnk->Release();
  from_clone.pUnk->Release();
  clone->Release(), connections->Release();
  Check("EnumConnections checks its argument", notify->EnumConnections(nullptr) == E_POINTER);
  notify->Unadvise(cookie);
}

// Arguments no script passes but a C++ or broken host can: refused, never followed.
void OddVariants(_USBORVA* control) {
  VARIANT self;
  V_VT(&self) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&self) = &self;
  Check("a Variant referring to itself: 13", control->put_SigilData(self) == kError13);
  VARIANT null_ref;
  V_VT(&null_ref) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&null_ref) = nullptr;
  Check("a null reference: 13", control->put_SigilData(null_ref) == kError13);
  VARIANT words;
  V_VT(&words) = VT_ARRAY | VT_UI1;  // claims bytes, holds 16-bit elements
  V_ARRAY(&words) = SafeArrayCreateVector(VT_I2, 0, 4);
  Check("an array of another element type: 13", control->put_SessionID(words) == kError13);
  V_VT(&words) = VT_ARRAY | VT_I2;
  VariantClear(&words);
  VARIANT bytes;
  V_VT(&bytes) = VT_ARRAY | VT_UI1;
  V_ARRAY(&bytes) = SafeArrayCreateVector(VT_UI1, 0, 3);
  Check("a Byte array is taken", control->put_SessionID(bytes) == S_OK);
  VariantClear(&bytes);
  short* no_track = nullptr;
  BSTR out = nullptr;
  Check("GetTrack with a null TrackNum", control->GetTrack(no_track, &out) == E_POINTER);
}

HRESULT Exchange(_USBORVA* control, bool get, const wchar_t* command, VARIANT* data, LONG* result) {
  BSTR text = SysAllocString(command);
  const HRESULT hr = get ? control->GetFeatureReport(text, data, result)
                         : control->SetFeatureReport(text, data, result);
  SysFreeString(text);
  return hr;
}

bool Answered(const VARIANT& data) {
  return V_VT(&data) == VT_BSTR && std::wcsncmp(V_BSTR(&data), L"09 01 02", 8) == 0;
}

// Any Variant is accepted and only written when the exchange writes it; nothing raises.
void FeatureReports(Host& host, _USBORVA* control, Counter& no_value) {
  V_VT(&host.ambient) = VT_BOOL;
  V_BOOL(&host.ambient) = VARIANT_TRUE;
  Check("run mode: the simulated terminal opens", control->put_PortOpen(VARIANT_TRUE) == S_OK);
  LONG result = -1;
  VARIANT data;
  V_VT(&data) = VT_ARRAY | VT_I4;
  V_ARRAY(&data) = SafeArrayCreateVector(VT_I4, 0, 2);
  Check("Long array: exchanged",
        Exchange(control, true, L"09", &data, &result) == S_OK && result == 1 && Answered(data));
  VariantClear(&data);
  V_VT(&data) = VT_ERROR;
  V_ERROR(&data) = E_FAIL;
  Check("error value: exchanged",
        Exchange(control, true, L"09", &data, &result) == S_OK && result == 1 && Answered(data));
  VariantClear(&data);
  V_VT(&data) = VT_DISPATCH;
  V_DISPATCH(&data) = static_cast<IDispatch*>(&no_value);
  Check("object without a value: exchanged",
        Exchange(control, true, L"09", &data, &result) == S_OK && result == 1 && Answered(data));
  VariantClear(&data);
  Check("no OutPutData: exchanged",
        Exchange(control, false, L"09", nullptr, &result) == S_OK && result == 1);
  V_VT(&data) = VT_DATE;
  V_DATE(&data) = 45000.5;
  Check("bad command: 0, no error",
        Exchange(control, true, L"0G", &data, &result) == S_OK && result == 0);
  Check("bad command: a Date stays a Date", V_VT(&data) == VT_DATE && V_DATE(&data) == 45000.5);
  control->put_PortOpen(VARIANT_FALSE);
  V_VT(&data) = VT_CY;
  V_CY(&data).int64 = 15000;
  Check("port closed: 0, no error",
        Exchange(control, false, L"09", &data, &result) == S_OK && result == 0);
  Check("port closed: Currency stays Currency", V_VT(&data) == VT_CY && V_CY(&data).int64 == 15000);
  BSTR output = nullptr;
  control->get_SwipeCommandOutput(&output);
  Check("port closed: SwipeCommandOutput is the value as text", Text(output) == L"1.5");
}

// The load stops at a key the bag fails to read, with the bag's error; a failing write
// stops the save with the bag's error.
void Loading(Host& host) {
  IUnknown* unknown = CreateControl();
  auto* persist = Query<IPersistPropertyBag>(unknown, IID_IPersistPropertyBag);
  auto* control = Query<_USBORVA>(unknown, IID__USBORVA);
  for (auto& [name, value] : host.bag) VariantClear(&value);
  host.bag.clear();
  VARIANT value;
  V_VT(&value) = VT_BSTR, V_BSTR(&value) = SysAllocString(L"first");
  host.Write(L"CardData", &value), VariantClear(&value);
  V_VT(&value) = VT_BSTR, V_BSTR(&value) = SysAllocString(L"eighth");
  host.Write(L"CardDataMasked", &value), VariantClear(&value);
  V_VT(&value) = VT_I4, V_I4(&value) = 5;
  host.Write(L"Track3Length", &value);
  host.failing_key = L"Track3Length";
  host.read_result = STG_E_ACCESSDENIED;
  Check("failing read: the load returns it", persist->Load(&host, nullptr) == STG_E_ACCESSDENIED);
  BSTR text = nullptr;
  control->get_CardData(&text);
  Check("failing read: keys before it loaded", Text(text) == L"first");
  LONG length = -1;
  control->get_Track3Length(&length);
  text = nullptr;
  control->get_CardDataMasked(&text);
  Check("failing read: that key and later ones not", length == 0 && Text(text).empty());
  host.failing_key.clear();
  control->put_Track1Length(3);  // a value the save writes, card-data switch or not
  host.write_result = STG_E_MEDIUMFULL;
  Check("failing write: the save returns it", persist->Save(&host, TRUE, TRUE) == STG_E_MEDIUMFULL);
  host.write_result = S_OK;
  control->Release(), persist->Release(), unknown->Release();
}

HRESULT GetSetting(_USBORVA* control, const std::wstring& key, std::wstring* value) {
  BSTR name = SysAllocStringLen(key.data(), static_cast<UINT>(key.size()));
  VARIANT missing;
  V_VT(&missing) = VT_ERROR, V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
  BSTR result = nullptr;
  const HRESULT hr = control->GetDefSetting(&name, missing, &result);
  *value = Text(result);
  SysFreeString(name);
  return hr;
}

// The registry store behaves as the settings file does: 75 with the name and the reason
// for what cannot be read, and any text back exactly as saved.
void Settings(_USBORVA* control) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                  nullptr);
  const DWORD number = 7;
  RegSetValueExW(key, L"NotText", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegCloseKey(key);
  std::wstring value;
  Check("a value that is no text: 75", GetSetting(control, L"NotText", &value) == kError75);
  Check("75 names the value",
        LastErrorText().find(L"USBHID\\Startup\\NotText") != std::wstring::npos);
  const std::wstring zeros(L"a\0b\0\0", 5);
  BSTR name = SysAllocString(L"Zeros");
  BSTR setting = SysAllocStringLen(zeros.data(), 5);
  BSTR result = nullptr;
  Check("save a text with zeros", control->SaveDefSetting(&name, &setting, &result) == S_OK);
  SysFreeString(result), SysFreeString(setting), SysFreeString(name);
  Check("read it back exactly", GetSetting(control, L"Zeros", &value) == S_OK && value == zeros);
  // A value name past the registry's limit is a write the registry refuses.
  name = SysAllocString(std::wstring(20000, L'k').c_str());
  setting = SysAllocString(L"v");
  result = nullptr;
  Check("a refused write: 75", control->SaveDefSetting(&name, &setting, &result) == kError75);
  Check("75 says what and why", LastErrorText().rfind(L"cannot write HKEY_CURRENT_USER\\", 0) == 0);
  SysFreeString(result), SysFreeString(setting), SysFreeString(name);
  Check("a key with a zero: 5",
        GetSetting(control, std::wstring(L"Ze\0ros", 6), &value) == HRESULT(0x800A0005));
  Check("a missing key is the default",
        GetSetting(control, L"Never", &value) == S_OK && value.empty());
}

// With the user's switch on, the clear card data goes into the bag; without it, it does not.
void PersistSwitch(Host& host, IUnknown* unknown) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\USBORVA\\ctlUSBORVA", 0, nullptr, 0, KEY_SET_VALUE,
                  nullptr, &key, nullptr);
  const DWORD on = 1;
  RegSetValueExW(key, L"PersistCardData", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), 4);
  RegCloseKey(key);
  for (auto& [name, value] : host.bag) VariantClear(&value);
  host.bag.clear();
  auto* persist = Query<IPersistPropertyBag>(unknown, IID_IPersistPropertyBag);
  Check("switch on: saved", persist->Save(&host, TRUE, TRUE) == S_OK);
  Check("switch on: CardData in the bag", host.bag.count(L"CardData") == 1);
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\USBORVA\\ctlUSBORVA");
  // Without the switch the same control leaves the clear card data out of the bag.
  for (auto& [name, value] : host.bag) VariantClear(&value);
  host.bag.clear();
  Check("switch off: saved", persist->Save(&host, TRUE, TRUE) == S_OK);
  Check("switch off: no CardData in the bag", host.bag.count(L"CardData") == 0);
  persist->Release();
}

// The scenario sends a track item holding the byte 0xC0, then 'A'.
void CodePage(Host& host, _USBORVA* control, wchar_t expected) {
  V_VT(&host.ambient) = VT_BOOL;
  V_BOOL(&host.ambient) = VARIANT_TRUE;
  Check("the simulated terminal opens", control->put_PortOpen(VARIANT_TRUE) == S_OK);
  Pump(600);
  BSTR track = nullptr;
  control->get_Track1Data(&track);
  const std::wstring text = Text(track);
  char what[96];
  std::snprintf(what, sizeof what, "byte 0xC0 arrives as U+%04X (got U+%04X, %u chars)",
                unsigned(expected), text.empty() ? 0u : unsigned(text[0]), unsigned(text.size()));
  Check(what, text == std::wstring{expected, L'A'});
  control->put_PortOpen(VARIANT_FALSE);
}

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  Host host;
  Counter no_value;
  IUnknown* unknown = CreateControl();
  Check("control created", unknown != nullptr);
  if (unknown == nullptr) return 1;
  auto* ole = Query<IOleObject>(unknown, IID_IOleObject);
  ole->SetClientSite(&host);
  auto* init = Query<IPersistStreamInit>(unknown, IID_IPersistStreamInit);
  init->InitNew();
  init->Release();
  auto* control = Query<_USBORVA>(unknown, IID__USBORVA);
  if (argc == 3 && std::string(argv[1]) == "codepage") {
    CodePage(host, control, static_cast<wchar_t>(std::atoi(argv[2])));
  } else {
    auto* points = Query<IConnectionPointContainer>(unknown, IID_IConnectionPointContainer);
    IConnectionPoint* notify = nullptr;
    points->FindConnectionPoint(IID_IPropertyNotifySink, &notify);
    DWORD cookie = 0;
    notify->Advise(static_cast<IPropertyNotifySink*>(&host), &cookie);
    Ambient(host, control);
    Notifications(host, notify, control);
    OddVariants(control);
    FeatureReports(host, control, no_value);
    Loading(host);
    Settings(control);
    PersistSwitch(host, unknown);
    notify->Unadvise(cookie);
    notify->Release(), points->Release();
  }
  ole->SetClientSite(nullptr);
  ole->Close(OLECLOSE_NOSAVE);
  ole->Release(), control->Release(), unknown->Release();
  for (auto& [name, value] : host.bag) VariantClear(&value);
  VariantClear(&host.ambient);
  CoUninitialize();
  std::printf("exactness: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
