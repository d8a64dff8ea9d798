// SPDX-License-Identifier: Apache-2.0
// Sites the control as a form does: a client site with an ambient UserMode, an event sink
// on __USBORVA, a property-notification sink, saving and loading through a property bag
// and a stream. Runs a scenario (named by USBORVA_SCENARIO) while pumping its own loop.
// Prints "N passed, N failed" and exits non-zero on any failure.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include <cstdio>
#include <map>
#include <string>

#include "ctlUSBORVA.h"
#include "ole_test_support.h"

namespace {

// One object that is the container's side of everything: client site with ambient
// properties, event sink, property-notification sink and property bag.
class Host final : public IOleClientSite,
                   public IDispatch,
                   public IPropertyNotifySink,
                   public IPropertyBag {
 public:
  bool user_mode = false;
  int events[8] = {};
  int changes = 0;
  DISPID last_change = 0;
  BYTE device_state = 0;
  std::wstring ksn;
  std::map<std::wstring, VARIANT> bag;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID___USBORVA)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = static_cast<IPropertyNotifySink*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyBag)) {
      *out = static_cast<IPropertyBag*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IDispatch: ambient properties when the control asks its site, events when the
  // connection point calls. The two never share a DISPID (ambients are negative).
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    if (id == DISPID_AMBIENT_USERMODE) {
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = user_mode ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    if (id < 1 || id > 7) return DISP_E_MEMBERNOTFOUND;
    ++events[id];
    if (id == 3 && params->cArgs == 3 && V_VT(&params->rgvarg[2]) == (VT_UI1 | VT_BYREF)) {
      device_state = *V_UI1REF(&params->rgvarg[2]);
    }
    if (id == 5 && params->cArgs == 3 && V_VT(&params->rgvarg[1]) == (VT_BSTR | VT_BYREF)) {
      ksn = *V_BSTRREF(&params->rgvarg[1]);
    }
    return S_OK;
  }

  // IPropertyNotifySink
  STDMETHODIMP OnChanged(DISPID id) override {
    ++changes;
    last_change = id;
    return S_OK;
  }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

  // IPropertyBag
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto it = bag.find(name);
    if (it == bag.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    bag[name] = copy;
    return S_OK;
  }
};

void DesignTime(Host& host, _USBORVA* control) {
  host.user_mode = false;
  BSTR x = SysAllocString(L"x");
  Check("design time: refused put fails with 387", control->put_Firmware(x) == HRESULT(0x800A0183));
  SysFreeString(x);
  Check("design time: PortOpen put fails with 387",
        control->put_PortOpen(VARIANT_TRUE) == HRESULT(0x800A0183));
  VARIANT_BOOL open = VARIANT_TRUE;
  control->get_PortOpen(&open);
  Check("design time: port stays closed", open == VARIANT_FALSE);
  const int before = host.changes;
  BSTR card = SysAllocString(L"card text");
  Check("design time: stored put works", control->put_CardData(card) == S_OK);
  SysFreeString(card);
  Check("stored put notifies once with DISPID 1",
        host.changes == before + 1 && host.last_change == 1);
  control->put_Track2LengthMasked(-3);
  Check("Track2LengthMasked notifies with DISPID 12", host.last_change == 12);
}

void RunTime(Host& host, _USBORVA* control) {
  host.user_mode = true;
  BSTR x = SysAllocString(L"x");
  Check("run time: refused put fails with 382", control->put_Firmware(x) == HRESULT(0x800A017E));
  SysFreeString(x);
  IErrorInfo* info = nullptr;
  BSTR description = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(&description), info->Release();
  Check("error text is the standard one", Text(description) == L"Set not supported at runtime");
  Check("run time: PortOpen opens the simulated terminal",
        control->put_PortOpen(VARIANT_TRUE) == S_OK);
  VARIANT_BOOL open = VARIANT_FALSE;
  control->get_PortOpen(&open);
  Check("PortOpen reads True", open == VARIANT_TRUE);
  BSTR serial = nullptr;
  control->get_DeviceSerialNum(&serial);
  Check("serial number read at open", Text(serial) == L"WIN00042");
  // The scenario takes about two seconds; a loaded machine delivers its ticks late, so the
  // loop waits for the last of them (the status after the reconnection), up to a bound.
  const DWORD start = GetTickCount();
  const auto done = [&] {
    for (int id = 1; id <= 7; ++id) {
      if (host.events[id] == 0) return false;
    }
    return host.device_state == 4;
  };
  while (!done() && GetTickCount() - start < 30000) Pump(100);
  Pump(200);
  for (int id = 1; id <= 7; ++id) {
    char what[64];
    std::snprintf(what, sizeof what, "event %d received (%d times)", id, host.events[id]);
    Check(what, host.events[id] >= 1);
  }
  Check("DeviceStatusChanged passes DeviceState", host.device_state == 4);
  Check("PINResponse passes the KSN", host.ksn == L"FFFF9876543210E00008");
  BYTE state = 0;
  control->get_DeviceState(&state);
  Check("reconnected after the unplug: last status read", state == 4);
  control->put_PortOpen(VARIANT_FALSE);
}

// The user's switch that lets the clear card data into saved bags (off by default).
void SetPersistCardData(bool on) {
  constexpr wchar_t kOptions[] = L"Software\\USBORVA\\ctlUSBORVA";
  if (!on) {
    RegDeleteKeyW(HKEY_CURRENT_USER, kOptions);
    return;
  }
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kOptions, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                  nullptr);
  const DWORD one = 1;
  RegSetValueExW(key, L"PersistCardData", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
  RegCloseKey(key);
}

// Saved with the card-data switch on, so CardData travels through the bag and the stream.
void Persistence(Host& host, IUnknown* unknown) {
  SetPersistCardData(true);
  auto* bag = Query<IPersistPropertyBag>(unknown, IID_IPersistPropertyBag);
  Check("saves to a property bag", bag && bag->Save(&host, TRUE, TRUE) == S_OK);
  Check("the bag holds CardData", host.bag.count(L"CardData") == 1);
  Check("the bag omits default values", host.bag.count(L"SigilLen") == 0);
  auto* stream_init = Query<IPersistStreamInit>(unknown, IID_IPersistStreamInit);
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  Check("saves to a stream", stream_init && stream_init->Save(stream, TRUE) == S_OK);
  Check("clean after saving", stream_init->IsDirty() == S_FALSE);
  if (bag) bag->Release();
  if (stream_init) stream_init->Release();

  // A second instance loaded from each.
  IUnknown* from_bag = CreateControl();
  auto* load_bag = Query<IPersistPropertyBag>(from_bag, IID_IPersistPropertyBag);
  Check("loads from the property bag", load_bag->Load(&host, nullptr) == S_OK);
  auto* loaded = Query<_USBORVA>(from_bag, IID__USBORVA);
  BSTR text = nullptr;
  loaded->get_CardData(&text);
  Check("CardData survives the bag", Text(text) == L"card text");
  loaded->Release(), load_bag->Release(), from_bag->Release();

  IUnknown* from_stream = CreateControl();
  auto* load_stream = Query<IPersistStreamInit>(from_stream, IID_IPersistStreamInit);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  Check("loads from the stream", load_stream->Load(stream) == S_OK);
  loaded = Query<_USBORVA>(from_stream, IID__USBORVA);
  LONG length = 0;
  loaded->get_Track2LengthMasked(&length);
  text = nullptr;
  loaded->get_CardData(&text);
  Check("values survive the stream", length == -3 && Text(text) == L"card text");
  loaded->Release(), load_stream->Release(), from_stream->Release();
  stream->Release();
  SetPersistCardData(false);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  Host host;
  IUnknown* unknown = CreateControl();
  Check("control created", unknown != nullptr);
  if (unknown == nullptr) return 1;
  auto* ole = Query<IOleObject>(unknown, IID_IOleObject);
  ole->SetClientSite(&host);
  auto* init = Query<IPersistStreamInit>(unknown, IID_IPersistStreamInit);
  Check("InitNew", init->InitNew() == S_OK);
  init->Release();
  auto* points = Query<IConnectionPointContainer>(unknown, IID_IConnectionPointContainer);
  IConnectionPoint* events = nullptr;
  IConnectionPoint* notify = nullptr;
  DWORD event_cookie = 0, notify_cookie = 0;
  points->FindConnectionPoint(DIID___USBORVA, &events);
  points->FindConnectionPoint(IID_IPropertyNotifySink, &notify);
  Check("advise __USBORVA",
        events && events->Advise(static_cast<IDispatch*>(&host), &event_cookie) == S_OK);
  Check("advise IPropertyNotifySink",
        notify && notify->Advise(static_cast<IPropertyNotifySink*>(&host), &notify_cookie) == S_OK);
  auto* info = Query<IProvideClassInfo2>(unknown, IID_IProvideClassInfo2);
  GUID source{};
  Check("default source is __USBORVA",
        info && info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source) == S_OK &&
            IsEqualGUID(source, DIID___USBORVA));
  if (info) info->Release();

  auto* control = Query<_USBORVA>(unknown, IID__USBORVA);
  DesignTime(host, control);
  RunTime(host, control);
  Persistence(host, unknown);

  events->Unadvise(event_cookie), notify->Unadvise(notify_cookie);
  events->Release(), notify->Release(), points->Release();
  ole->SetClientSite(nullptr);
  ole->Close(OLECLOSE_NOSAVE);
  ole->Release(), control->Release(), unknown->Release();
  for (auto& [name, value] : host.bag) VariantClear(&value);
  CoUninitialize();
  std::printf("container: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
