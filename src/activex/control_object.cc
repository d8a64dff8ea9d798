// SPDX-License-Identifier: Apache-2.0
// The control object's identity and wiring: creation, QueryInterface, late binding through
// the type library, events through the connection point and property notifications.
#include "activex/control_object.h"

#include <new>

#include "activex/com_bridge.h"
#include "activex/com_entry.h"
#include "activex/interface_table.h"
#include "activex/member_ids.h"
#include "activex/module.h"
#include "usborva/scenario.h"

namespace usborva::activex {

namespace {

// The dispatch view of _USBORVA, which GetTypeInfo hands out, and its vtable view, which
// Invoke calls through (a dual interface's type information is its dispatch view).
HRESULT LoadTypeInfos(ComPtr<ITypeInfo>& dispatch_info, ComPtr<ITypeInfo>& interface_info) {
  ComPtr<ITypeLib> library;
  HRESULT hr = ModuleTypeLib(library.Put());
  if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__USBORVA, dispatch_info.Put());
  HREFTYPE vtable_ref = 0;
  if (SUCCEEDED(hr)) hr = dispatch_info->GetRefTypeOfImplType(-1, &vtable_ref);
  if (SUCCEEDED(hr)) hr = dispatch_info->GetRefTypeInfo(vtable_ref, interface_info.Put());
  return hr;
}

// The simulated terminal named by the environment, or nullptr; a scenario that cannot be
// read fails the creation with the scenario's own account of what is wrong.
std::unique_ptr<ScenarioLease> LeaseOrExplain() {
  try {
    return LeaseScenarioMachine();
  } catch (const scenario::ScenarioError& error) {
    const String text = Utf8ToString(std::string("Scenario ") + error.what());
    throw ComError(E_FAIL, std::wstring(text.begin(), text.end()));
  }
}

}  // namespace

// Everything acquired is owned by a local until the object owns it, so a failure at any
// step (the type library, the scenario, memory) gives back all of it.
HRESULT ControlObject::Create(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return Guarded(ErrorReport::kErrorObject, [&] {
    ComPtr<ITypeInfo> dispatch_info;
    ComPtr<ITypeInfo> interface_info;
    const HRESULT hr = LoadTypeInfos(dispatch_info, interface_info);
    if (FAILED(hr)) return hr;
    std::unique_ptr<ScenarioLease> scenario = LeaseOrExplain();
    // The new object starts with one reference, which this pointer owns.
    ComPtr<ControlObject> control(new ControlObject(std::move(scenario), std::move(dispatch_info),
                                                    std::move(interface_info)));
    return control->QueryInterface(iid, object);
  });
}

ControlObject::ControlObject(std::unique_ptr<ScenarioLease> scenario,
                             ComPtr<ITypeInfo> dispatch_info, ComPtr<ITypeInfo> interface_info)
    : scenario_(std::move(scenario)),
      dispatch_info_(std::move(dispatch_info)),
      interface_info_(std::move(interface_info)),
      events_point_(this, DIID___USBORVA),
      notify_point_(this, IID_IPropertyNotifySink),
      container_({[this] { return ReadUserMode(); },
                  [this](std::u16string_view name) { NotifyChanged(name); }, this}) {
  control_ = std::make_unique<USBORVA>(container_);
  ObjectCreated();
}

ControlObject::~ControlObject() {
  // Closing a device that is already gone has nothing left to report to anyone; the
  // caller of the last Release keeps whatever error object it has.
  Guarded(ErrorReport::kResultOnly, [&] {
    if (!terminated_) control_->Terminate();
  });
  control_.reset();
  scenario_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  ObjectDestroyed();
}

STDMETHODIMP ControlObject::QueryInterface(REFIID iid, void** object) {
  auto* const dual = static_cast<_USBORVA*>(this);
  auto* const points = static_cast<IConnectionPointContainer*>(this);
  auto* const class_info = static_cast<IProvideClassInfo2*>(this);
  auto* const stream = static_cast<IPersistStreamInit*>(this);
  auto* const in_place = static_cast<IOleInPlaceObject*>(this);
  auto* const view = static_cast<IViewObject2*>(this);
  return QueryInterfaceTable({{IID_IUnknown, dual},
                              {IID_IDispatch, dual},
                              {IID__USBORVA, dual},
                              {IID_IConnectionPointContainer, points},
                              {IID_IProvideClassInfo, class_info},
                              {IID_IProvideClassInfo2, class_info},
                              {IID_IPersist, stream},
                              {IID_IPersistStreamInit, stream},
                              {IID_IPersistPropertyBag, static_cast<IPersistPropertyBag*>(this)},
                              {IID_IOleObject, static_cast<IOleObject*>(this)},
                              {IID_IOleControl, static_cast<IOleControl*>(this)},
                              {IID_IOleWindow, in_place},
                              {IID_IOleInPlaceObject, in_place},
                              {IID_IViewObject, view},
                              {IID_IViewObject2, view},
                              {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)}},
                             iid, object);
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
  dispatch_info_.CopyTo(info);
  return S_OK;
}

STDMETHODIMP ControlObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(interface_info_.get(), names, count, ids);
}

// Every member is guarded itself; the guard here only keeps what the type library's
// machinery might throw on its way to them from reaching the caller.
STDMETHODIMP ControlObject::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  return Guarded(ErrorReport::kResultOnly, [&] {
    return InvokeMember(id, iid, lcid, flags, params, result, exception, arg_error);
  });
}

HRESULT ControlObject::InvokeMember(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // A handler may release the last reference during the call.
  const ComPtr<_USBORVA> self = ComPtr<_USBORVA>::Share(this);
  HRESULT hr = interface_info_->Invoke(static_cast<_USBORVA*>(this), id, flags, params, result,
                                       exception, arg_error);
  // A member's own failure reaches a late-binding caller as an exception with the text of
  // the error object, the way the automation runtime reports it.
  if (FAILED(hr) && HRESULT_FACILITY(hr) != FACILITY_DISPATCH && exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) == S_OK && info) {
      info->GetSource(&exception->bstrSource);
      info->GetDescription(&exception->bstrDescription);
    }
    hr = DISP_E_EXCEPTION;
  }
  return hr;
}

STDMETHODIMP ControlObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__USBORVA) ? S_OK : S_FALSE;
}

// Without a site, with a site that has no ambient properties (no IDispatch), or with one
// whose ambients do not include UserMode, the control is in a running host: a script or a
// program that creates it directly. A container that has the ambient but fails to deliver
// it (a failing call, a value that is no Boolean) fails the caller's put with that error.
bool ControlObject::ReadUserMode() {
  if (!site_) return true;
  HRESULT hr = S_OK;
  const ComPtr<IDispatch> ambients = site_.As<IDispatch>(IID_IDispatch, &hr);
  if (hr == E_NOINTERFACE) return true;
  if (FAILED(hr)) throw ComError(hr);
  DISPPARAMS none{};
  OwnedVariant value;
  EXCEPINFO exception{};
  hr = ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                        DISPATCH_PROPERTYGET, &none, value.get(), &exception, nullptr);
  if (hr == DISP_E_MEMBERNOTFOUND) return true;
  if (FAILED(hr)) ThrowInvokeFailure(hr, exception);
  OwnedVariant as_bool;
  hr = VariantChangeType(as_bool.get(), value.get(), 0, VT_BOOL);
  if (FAILED(hr)) {
    throw AutomationError(hr == DISP_E_OVERFLOW ? error::kOverflow : error::kTypeMismatch);
  }
  return V_BOOL(as_bool.get()) != VARIANT_FALSE;
}

// The container hears of every change, even when one of its sinks fails; the put that
// caused it reports the first failure, with the value already stored.
void ControlObject::NotifyChanged(std::u16string_view name) {
  dirty_ = true;
  const DISPID id = MemberId(name);
  HRESULT first_failure = S_OK;
  for (const ComPtr<IUnknown>& sink : notify_point_.Snapshot()) {
    const HRESULT hr = static_cast<IPropertyNotifySink*>(sink.get())->OnChanged(id);
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  }
  if (FAILED(first_failure)) throw ComError(first_failure);
}

STDMETHODIMP ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
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
  ComPtr<ITypeLib> library;
  const HRESULT hr = ModuleTypeLib(library.Put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(CLSID_USBORVA, info);
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
  const ComPtr<_USBORVA> self = ComPtr<_USBORVA>::Share(this);  // a handler may let go
  for (const ComPtr<IUnknown>& sink : events_point_.Snapshot()) {
    static_cast<IDispatch*>(sink.get())
        ->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
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
  if (scenario_) scenario_->CardDataChanged();
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Fire(static_cast<DISPID>(EventId::kCardDataChanged), params);
}

void ControlObject::CardDataError() {
  if (scenario_) scenario_->CardDataError();
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Fire(static_cast<DISPID>(EventId::kCardDataError), params);
}

void ControlObject::DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                                        uint8_t& DeviceStatus) {
  if (scenario_) scenario_->DeviceStatusChanged(DeviceState, SessionStatus, DeviceStatus);
  VARIANTARG args[] = {ByteRef(DeviceStatus), ByteRef(SessionStatus), ByteRef(DeviceState)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kDeviceStatusChanged), params);
}

void ControlObject::CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) {
  if (scenario_) scenario_->CardStatusChanged(OpStatus, CardStatus, CardType);
  VARIANTARG args[] = {ByteRef(CardType), ByteRef(CardStatus), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kCardStatusChanged), params);
}

// A handler may replace either text; whatever the slots hold afterwards is ours to wipe
// and free, on every path.
void ControlObject::PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) {
  if (scenario_) scenario_->PINResponse(OpStatus, KSN, EPB);
  OwnedBstr ksn(ToBstr(KSN), true);
  OwnedBstr epb(ToBstr(EPB), true);
  VARIANTARG args[] = {BstrRef(epb.slot()), BstrRef(ksn.slot()), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 3, 0};
  Fire(static_cast<DISPID>(EventId::kPINResponse), params);
}

void ControlObject::SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) {
  if (scenario_) scenario_->SelectResponse(OpStatus, KeyPressed);
  VARIANTARG args[] = {ByteRef(KeyPressed), ByteRef(OpStatus)};
  DISPPARAMS params{args, nullptr, 2, 0};
  Fire(static_cast<DISPID>(EventId::kSelectResponse), params);
}

void ControlObject::DisplayDone(uint8_t& DisplayStatus) {
  if (scenario_) scenario_->DisplayDone(DisplayStatus);
  VARIANTARG args[] = {ByteRef(DisplayStatus)};
  DISPPARAMS params{args, nullptr, 1, 0};
  Fire(static_cast<DISPID>(EventId::kDisplayDone), params);
}

}  // namespace usborva::activex
