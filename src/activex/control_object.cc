// The control object's identity and wiring: creation, QueryInterface, late binding through
// the type library, events through the connection point and property notifications.
#include "activex/control_object.h"

#include <new>

#include "activex/com_bridge.h"
#include "activex/member_ids.h"
#include "activex/module.h"
#include "usborva/scenario.h"

namespace usborva::activex {

HRESULT ControlObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = ModuleTypeLib(&library);
  if (FAILED(hr)) return hr;
  ITypeInfo* dispatch_info = nullptr;
  ITypeInfo* interface_info = nullptr;
  hr = library->GetTypeInfoOfGuid(IID__USBORVA, &dispatch_info);
  library->Release();
  if (FAILED(hr)) return hr;
  // A dual interface's type information is its dispatch view; Invoke needs the vtable one.
  HREFTYPE vtable_ref = 0;
  hr = dispatch_info->GetRefTypeOfImplType(-1, &vtable_ref);
  if (SUCCEEDED(hr)) hr = dispatch_info->GetRefTypeInfo(vtable_ref, &interface_info);
  if (FAILED(hr)) {
    dispatch_info->Release();
    return hr;
  }
  std::unique_ptr<ScenarioLease> scenario;
  try {
    scenario = LeaseScenarioMachine();
  } catch (const scenario::ScenarioError& error) {
    dispatch_info->Release();
    interface_info->Release();
    const String text = Utf8ToString(std::string("Scenario ") + error.what());
    return ReportError(E_FAIL, std::wstring(text.begin(), text.end()).c_str());
  }
  auto* control =
      new (std::nothrow) ControlObject(std::move(scenario), dispatch_info, interface_info);
  if (control == nullptr) return E_OUTOFMEMORY;
  hr = control->QueryInterface(iid, object);
  control->Release();
  return hr;
}

ControlObject::ControlObject(std::unique_ptr<ScenarioLease> scenario, ITypeInfo* dispatch_info,
                             ITypeInfo* interface_info)
    : scenario_(std::move(scenario)),
      dispatch_info_(dispatch_info),
      interface_info_(interface_info),
      events_point_(this, DIID___USBORVA),
      notify_point_(this, IID_IPropertyNotifySink),
      container_({[this] { return ReadUserMode(); },
                  [this](std::u16string_view name) { NotifyChanged(name); }, this}) {
  control_ = std::make_unique<USBORVA>(container_);
  ObjectCreated();
}

ControlObject::~ControlObject() {
  if (!terminated_) control_->Terminate();
  control_.reset();
  scenario_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  if (in_place_site_ != nullptr) in_place_site_->Release();
  if (view_sink_ != nullptr) view_sink_->Release();
  if (advise_holder_ != nullptr) advise_holder_->Release();
  if (site_ != nullptr) site_->Release();
  interface_info_->Release();
  dispatch_info_->Release();
  ObjectDestroyed();
}

STDMETHODIMP ControlObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  void* found = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID__USBORVA)) {
    found = static_cast<_USBORVA*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    found = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
    found = static_cast<IProvideClassInfo2*>(this);
  } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
    found = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(iid, IID_IPersistPropertyBag)) {
    found = static_cast<IPersistPropertyBag*>(this);
  } else if (IsEqualIID(iid, IID_IOleObject)) {
    found = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleControl)) {
    found = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
    found = static_cast<IOleInPlaceObject*>(this);
  } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2)) {
    found = static_cast<IViewObject2*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    found = static_cast<ISupportErrorInfo*>(this);
  }
  *object = found;
  if (found == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ControlObject::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ControlObject::Release() {
  const LONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ControlObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ControlObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  dispatch_info_->AddRef();
  *info = dispatch_info_;
  return S_OK;
}

STDMETHODIMP ControlObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(interface_info_, names, count, ids);
}

STDMETHODIMP ControlObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  AddRef();  // a handler may release the last reference during the call
  HRESULT hr = interface_info_->Invoke(static_cast<_USBORVA*>(this), id, flags, params, result,
                                       exception, arg_error);
  // A member's own failure reaches a late-binding caller as an exception with the text of
  // the error object, the way the automation runtime reports it.
  if (FAILED(hr) && HRESULT_FACILITY(hr) != FACILITY_DISPATCH && exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = hr;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
      info->GetSource(&exception->bstrSource);
      info->GetDescription(&exception->bstrDescription);
      info->Release();
    }
    hr = DISP_E_EXCEPTION;
  }
  Release();
  return hr;
}

STDMETHODIMP ControlObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__USBORVA) ? S_OK : S_FALSE;
}

// Without a site, or with one that supplies no ambient UserMode, the control is in a
// running host: a script or a program that creates it directly.
bool ControlObject::ReadUserMode() {
  if (site_ == nullptr) return true;
  IDispatch* ambients = nullptr;
  if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambients)))) {
    return true;
  }
  DISPPARAMS none{};
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
  ambients->Release();
  bool user_mode = true;
  if (SUCCEEDED(hr)) {
    VARIANT as_bool;
    VariantInit(&as_bool);
    if (SUCCEEDED(VariantChangeType(&as_bool, &value, 0, VT_BOOL))) {
      user_mode = V_BOOL(&as_bool) != VARIANT_FALSE;
    }
  }
  VariantClear(&value);
  return user_mode;
}

void ControlObject::NotifyChanged(std::u16string_view name) {
  dirty_ = true;
  const DISPID id = MemberId(name);
  for (IUnknown* sink : notify_point_.Snapshot()) {
    static_cast<IPropertyNotifySink*>(sink)->OnChanged(id);
    sink->Release();
  }
}

STDMETHODIMP ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  return EnumeratePoints({&events_point_, &notify_point_}, points);
}

STDMETHODIMP ControlObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (IsEqualIID(iid, DIID___USBORVA)) {
    *point = &events_point_;
  } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
    *point = &notify_point_;
  } else {
    return CONNECT_E_NOCONNECTION;
  }
  (*point)->AddRef();
  return S_OK;
}

STDMETHODIMP ControlObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = ModuleTypeLib(&library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(CLSID_USBORVA, info);
  library->Release();
  return hr;
}

STDMETHODIMP ControlObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___USBORVA;
  return S_OK;
}

// --- events: every argument by reference, in reverse order as DISPPARAMS wants them.

void ControlObject::Fire(DISPID id, DISPPARAMS& params) {
  if (freeze_count_ > 0) return;  // a container that froze events does not want them
  AddRef();
  for (IUnknown* sink : events_point_.Snapshot()) {
    static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                          &params, nullptr, nullptr, nullptr);
    sink->Release();
  }
  Release();
}

namespace {

VARIANTARG ByteRef(uint8_t& value) {
  VARIANTARG arg;
  V_VT(&arg) = VT_UI1 | VT_BYREF;
  V_UI1REF(&arg) = &value;
  return arg;
}

VARIANTARG BstrRef(BSTR& value) {
  VARIANTARG arg;
  V_VT(&arg) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&arg) = &value;
  return arg;
}

}  // namespace

void ControlObject::CardDataChanged() {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Fire(static_cast<DISPID>(EventId::kCardDataChanged), params);
}

void ControlObject::CardDataError() {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Fire(static_cast<DISPID>(EventId::kCardDataError), params);
}

void ControlObject::DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                                        uint8_t& DeviceStatus) {
  VARIANTARG args[] = {ByteRef(DeviceStatus), ByteRef(SessionStatus), ByteRef(DeviceState)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kDeviceStatusChanged), params);
}

void ControlObject::CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) {
  VARIANTARG args[] = {ByteRef(CardType), ByteRef(CardStatus), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kCardStatusChanged), params);
}

void ControlObject::PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) {
  BSTR ksn = ToBstr(KSN);
  BSTR epb = ToBstr(EPB);
  VARIANTARG args[] = {BstrRef(epb), BstrRef(ksn), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kPINResponse), params);
  // A handler may have replaced either text; whatever the variables hold now is ours.
  SysFreeString(epb);
  SysFreeString(ksn);
}

void ControlObject::SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) {
  VARIANTARG args[] = {ByteRef(KeyPressed), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 2, 0};
  Fire(static_cast<DISPID>(EventId::kSelectResponse), params);
}

void ControlObject::DisplayDone(uint8_t& DisplayStatus) {
  VARIANTARG args[] = {ByteRef(DisplayStatus)};
  DISPPARAMS params{args, nullptr, 1, 0};
  Fire(static_cast<DISPID>(EventId::kDisplayDone), params);
}

}  // namespace usborva::activex
