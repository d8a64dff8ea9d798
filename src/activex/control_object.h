// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_CONTROL_OBJECT_H_
#define USBORVA_ACTIVEX_CONTROL_OBJECT_H_

// The COM object of the control class USBORVA: the default interface _USBORVA over the
// portable control, and the interfaces a form (or a script host) needs to create, site,
// draw, persist and hear it.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include <memory>
#include <optional>
#include <string_view>

#include "activex/com_container.h"
#include "activex/com_ptr.h"
#include "activex/connection_point.h"
#include "activex/scenario_mode.h"
#include "ctlUSBORVA.h"
#include "usborva/usborva.h"

namespace usborva::activex {

class ControlObject final : public _USBORVA,
                            public IConnectionPointContainer,
                            public IProvideClassInfo2,
                            public IPersistStreamInit,
                            public IPersistPropertyBag,
                            public IOleObject,
                            public IOleControl,
                            public IOleInPlaceObject,
                            public IViewObject2,
                            public ISupportErrorInfo,
                            private EventSink {
 public:
  // Creates an instance and hands out iid; fails (with error information) when the
  // simulated terminal named by the environment cannot be set up. Nothing it throws
  // internally escapes, and nothing it acquired is kept on failure.
  static HRESULT Create(REFIID iid, void** object) noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, through the type library
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  // _USBORVA, in slot order
  STDMETHODIMP get_CardData(BSTR* Value) override;
  STDMETHODIMP put_CardData(BSTR Value) override;
  STDMETHODIMP get_PortOpen(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_PortOpen(VARIANT_BOOL Value) override;
  STDMETHODIMP get_SigilLen(LONG* Value) override;
  STDMETHODIMP put_SigilLen(LONG Value) override;
  STDMETHODIMP get_SigilData(VARIANT* Value) override;
  STDMETHODIMP put_SigilData(VARIANT Value) override;
  STDMETHODIMP get_SequenceNumber(LONG* Value) override;
  STDMETHODIMP put_SequenceNumber(LONG Value) override;
  STDMETHODIMP get_CardDataMasked(BSTR* Value) override;
  STDMETHODIMP put_CardDataMasked(BSTR Value) override;
  STDMETHODIMP get_SessionID(VARIANT* Value) override;
  STDMETHODIMP put_SessionID(VARIANT Value) override;
  STDMETHODIMP get_Track1Length(LONG* Value) override;
  STDMETHODIMP put_Track1Length(LONG Value) override;
  STDMETHODIMP get_Track2Length(LONG* Value) override;
  STDMETHODIMP put_Track2Length(LONG Value) override;
  STDMETHODIMP get_Track3Length(LONG* Value) override;
  STDMETHODIMP put_Track3Length(LONG Value) override;
  STDMETHODIMP get_Track1LengthMasked(LONG* Value) override;
  STDMETHODIMP put_Track1LengthMasked(LONG Value) override;
  STDMETHODIMP get_Track2LengthMasked(LONG* Value) override;
  STDMETHODIMP put_Track2LengthMasked(LONG Value) override;
  STDMETHODIMP get_Track3LengthMasked(LONG* Value) override;
  STDMETHODIMP put_Track3LengthMasked(LONG Value) override;
  STDMETHODIMP get_SigilStatus(LONG* Value) override;
  STDMETHODIMP put_SigilStatus(LONG Value) override;
  STDMETHODIMP get_DUKPTKSN(BSTR* Value) override;
  STDMETHODIMP put_DUKPTKSN(BSTR Value) override;
  STDMETHODIMP get_DeviceSerialNum(BSTR* Value) override;
  STDMETHODIMP put_DeviceSerialNum(BSTR Value) override;
  STDMETHODIMP get_CardEncodeType(BSTR* Value) override;
  STDMETHODIMP put_CardEncodeType(BSTR Value) override;
  STDMETHODIMP get_SwipeCommandOutput(BSTR* Value) override;
  STDMETHODIMP put_SwipeCommandOutput(BSTR Value) override;
  STDMETHODIMP GetTrack(short* TrackNum, BSTR* Result) override;
  STDMETHODIMP GetTrackMasked(short* TrackNum, BSTR* Result) override;
  STDMETHODIMP GetFName(BSTR* Result) override;
  STDMETHODIMP GetLName(BSTR* Result) override;
  STDMETHODIMP FindElement(short TrackNum, BSTR RefChar, short Displacement, BSTR NumDigits,
                           VARIANT* DirectionBack, BSTR* Result) override;
  STDMETHODIMP FindElementMasked(short TrackNum, BSTR RefChar, short Displacement, BSTR NumDigits,
                                 VARIANT* DirectionBack, BSTR* Result) override;
  STDMETHODIMP GetDefSetting(BSTR* Key, VARIANT strDefault, BSTR* Result) override;
  STDMETHODIMP SaveDefSetting(BSTR* Key, BSTR* Setting, BSTR* Result) override;
  STDMETHODIMP ClearBuffer(short* Result) override;
  STDMETHODIMP About(BSTR* Result) override;
  STDMETHODIMP GetFNameMasked(BSTR* Result) override;
  STDMETHODIMP GetLNameMasked(BSTR* Result) override;
  STDMETHODIMP get_ReaderID(BSTR* Value) override;
  STDMETHODIMP put_ReaderID(BSTR Value) override;
  STDMETHODIMP InterpretMsg(BSTR* sText, VARIANT_BOOL* Result) override;
  STDMETHODIMP GetFeatureReport(BSTR CommandString, VARIANT* OutPutData, LONG* Result) override;
  STDMETHODIMP SetFeatureReport(BSTR CommandString, VARIANT* OutPutData, LONG* Result) override;
  STDMETHODIMP get_DeviceState(BYTE* Value) override;
  STDMETHODIMP put_DeviceState(BYTE Value) override;
  STDMETHODIMP get_SessionStatus(BYTE* Value) override;
  STDMETHODIMP put_SessionStatus(BYTE Value) override;
  STDMETHODIMP get_DeviceStatus(BYTE* Value) override;
  STDMETHODIMP put_DeviceStatus(BYTE Value) override;
  STDMETHODIMP get_Track1Data(BSTR* Value) override;
  STDMETHODIMP put_Track1Data(BSTR Value) override;
  STDMETHODIMP get_Track2Data(BSTR* Value) override;
  STDMETHODIMP put_Track2Data(BSTR Value) override;
  STDMETHODIMP get_Track3Data(BSTR* Value) override;
  STDMETHODIMP put_Track3Data(BSTR Value) override;
  STDMETHODIMP get_EncTrack1Data(BSTR* Value) override;
  STDMETHODIMP put_EncTrack1Data(BSTR Value) override;
  STDMETHODIMP get_EncTrack2Data(BSTR* Value) override;
  STDMETHODIMP put_EncTrack2Data(BSTR Value) override;
  STDMETHODIMP get_EncTrack3Data(BSTR* Value) override;
  STDMETHODIMP put_EncTrack3Data(BSTR Value) override;
  STDMETHODIMP get_UsbProduct(BSTR* Value) override;
  STDMETHODIMP put_UsbProduct(BSTR Value) override;
  STDMETHODIMP get_BitmapCRC(BSTR* Value) override;
  STDMETHODIMP put_BitmapCRC(BSTR Value) override;
  STDMETHODIMP get_AuthLabel(BSTR* Value) override;
  STDMETHODIMP put_AuthLabel(BSTR Value) override;
  STDMETHODIMP get_PINLabel(BSTR* Value) override;
  STDMETHODIMP put_PINLabel(BSTR Value) override;
  STDMETHODIMP get_MSRLabel(BSTR* Value) override;
  STDMETHODIMP put_MSRLabel(BSTR Value) override;
  STDMETHODIMP get_PINKSN(BSTR* Value) override;
  STDMETHODIMP put_PINKSN(BSTR Value) override;
  STDMETHODIMP get_DeviceConfig(BSTR* Value) override;
  STDMETHODIMP put_DeviceConfig(BSTR Value) override;
  STDMETHODIMP get_MSRKSN(BSTR* Value) override;
  STDMETHODIMP put_MSRKSN(BSTR Value) override;
  STDMETHODIMP get_Firmware(BSTR* Value) override;
  STDMETHODIMP put_Firmware(BSTR Value) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IOleWindow, IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IViewObject, IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device,
                    HDC target_dc, HDC dc, LPCRECTL bounds, LPCRECTL window_bounds,
                    BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR cont_arg) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device,
                           HDC target_dc, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* cookie) override;
  STDMETHODIMP Unfreeze(DWORD cookie) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, SIZEL* size) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // The window the control draws its picture in while it is active in place.
  void PaintPicture(HDC dc, const RECT& bounds);

 private:
  ControlObject(std::unique_ptr<ScenarioLease> scenario, ComPtr<ITypeInfo> dispatch_info,
                ComPtr<ITypeInfo> interface_info);
  ~ControlObject();

  // The ambient UserMode of the site. Throws what the container's failure to deliver it
  // was (ComError, or AutomationError 13 / 6 for a value that is no Boolean).
  bool ReadUserMode();
  // Tells every IPropertyNotifySink; throws ComError with the first failure any of them
  // returned, after all have been told.
  void NotifyChanged(std::u16string_view name);
  void Fire(DISPID id, DISPPARAMS& params);
  HRESULT Exchange(bool get, BSTR command, VARIANT* output, LONG* result);
  // IDispatch::Invoke, inside its guard.
  HRESULT InvokeMember(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* arg_error);
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT rect);

  // EventSink: the seven events, raised through the connection point.
  void CardDataChanged() override;
  void CardDataError() override;
  void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                           uint8_t& DeviceStatus) override;
  void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) override;
  void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) override;
  void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) override;
  void DisplayDone(uint8_t& DisplayStatus) override;

  LONG references_ = 1;
  std::unique_ptr<ScenarioLease> scenario_;
  ComPtr<ITypeInfo> dispatch_info_;   // the dispatch view of _USBORVA
  ComPtr<ITypeInfo> interface_info_;  // the vtable view, which Invoke calls through
  ConnectionPoint events_point_;
  ConnectionPoint notify_point_;
  ComContainer container_;
  std::unique_ptr<USBORVA> control_;
  ComPtr<IOleClientSite> site_;
  ComPtr<IOleAdviseHolder> advise_holder_;
  ComPtr<IAdviseSink> view_sink_;
  ComPtr<IOleInPlaceSite> in_place_site_;
  HWND window_ = nullptr;
  SIZEL extent_{847, 847};  // 32 x 32 pixels at 96 dpi, in HIMETRIC
  bool dirty_ = false;
  bool initialised_ = false;
  bool terminated_ = false;
  LONG freeze_count_ = 0;
};

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_CONTROL_OBJECT_H_
