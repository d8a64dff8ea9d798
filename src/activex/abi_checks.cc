// SPDX-License-Identifier: Apache-2.0
// Layouts and calling conventions the component relies on, checked by the compiler for
// each architecture it is built for. A 32-bit build that got one of these wrong would
// still link and even register; it would fail only inside a host, on a machine this
// project's own runs cannot reach. Nothing here generates code.
// clang-format off
#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <cstddef>
#include <type_traits>

#include "activex/connection_point.h"
#include "activex/control_object.h"
#include "usborva/hid_system.h"

namespace usborva::activex {
namespace {

constexpr bool kWin64 = sizeof(void*) == 8;

// --- the Windows structures the HID transport passes, at their documented sizes.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (kWin64 ? 32 : 28));
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Reserved) == 24);
// The detail record's cbSize: a 4-byte length and one character, packed to 1 in a 32-bit
// process, padded to 8 in a 64-bit one.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (kWin64 ? 8 : 5));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4);
static_assert(sizeof(HIDD_ATTRIBUTES) == 12);
static_assert(offsetof(HIDD_ATTRIBUTES, VendorID) == 4);
static_assert(offsetof(HIDD_ATTRIBUTES, ProductID) == 6);
static_assert(sizeof(SECURITY_ATTRIBUTES) == (kWin64 ? 24 : 12));
// The HIDP_CAPS fields the transport reads: 16-bit lengths at fixed places.
static_assert(offsetof(HIDP_CAPS, Usage) == 0 && sizeof(HIDP_CAPS::Usage) == 2);
static_assert(offsetof(HIDP_CAPS, UsagePage) == 2 && sizeof(HIDP_CAPS::UsagePage) == 2);
static_assert(offsetof(HIDP_CAPS, InputReportByteLength) == 4);
static_assert(offsetof(HIDP_CAPS, OutputReportByteLength) == 6);
static_assert(offsetof(HIDP_CAPS, FeatureReportByteLength) == 8);
static_assert(sizeof(HIDP_CAPS::InputReportByteLength) == 2);
static_assert(sizeof(HIDP_CAPS::FeatureReportByteLength) == 2);
static_assert(sizeof(HIDP_CAPS) == 64);

// --- pointer-sized values: the portable records carry handles and reserved words in
// fields as wide as the native ones, and the window words hold a whole pointer.
static_assert(sizeof(Handle) == sizeof(HANDLE));
static_assert(sizeof(DeviceInterfaceData::Reserved) == sizeof(SP_DEVICE_INTERFACE_DATA::Reserved));
static_assert(sizeof(SecurityAttributes::lpSecurityDescriptor) ==
              sizeof(SECURITY_ATTRIBUTES::lpSecurityDescriptor));
static_assert(sizeof(Overlapped::Internal) == sizeof(OVERLAPPED::Internal));
static_assert(sizeof(Overlapped::hEvent) == sizeof(OVERLAPPED::hEvent));
static_assert(sizeof(LONG_PTR) == sizeof(void*) && sizeof(ULONG_PTR) == sizeof(void*));
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(VARIANT_BOOL) == 2);
static_assert(sizeof(VARIANT) == (kWin64 ? 24 : 16));

// --- every COM method is STDMETHODCALLTYPE: the member pointer below exists only for a
// method of exactly that convention, result and parameter list (on x64 the convention is
// the only one there is; on x86 a method without it would clean the stack wrongly).
#define USBORVA_COM_METHOD(Class, Result, Name, ...)                                           \
  static_assert(static_cast<Result (STDMETHODCALLTYPE Class::*)(__VA_ARGS__)>(&Class::Name) != \
                nullptr);
#define USBORVA_CONTROL_METHOD(Result, Name, ...) \
  USBORVA_COM_METHOD(ControlObject, Result, Name, __VA_ARGS__)

USBORVA_CONTROL_METHOD(HRESULT, QueryInterface, REFIID, void**)
USBORVA_CONTROL_METHOD(ULONG, AddRef)
USBORVA_CONTROL_METHOD(ULONG, Release)
USBORVA_CONTROL_METHOD(HRESULT, GetTypeInfoCount, UINT*)
USBORVA_CONTROL_METHOD(HRESULT, GetTypeInfo, UINT, LCID, ITypeInfo**)
USBORVA_CONTROL_METHOD(HRESULT, GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
USBORVA_CONTROL_METHOD(HRESULT, Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                       EXCEPINFO*, UINT*)
USBORVA_CONTROL_METHOD(HRESULT, get_CardData, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_CardData, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_PortOpen, VARIANT_BOOL*)
USBORVA_CONTROL_METHOD(HRESULT, put_PortOpen, VARIANT_BOOL)
USBORVA_CONTROL_METHOD(HRESULT, get_SigilLen, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_SigilLen, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_SigilData, VARIANT*)
USBORVA_CONTROL_METHOD(HRESULT, put_SigilData, VARIANT)
USBORVA_CONTROL_METHOD(HRESULT, get_SequenceNumber, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_SequenceNumber, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_CardDataMasked, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_CardDataMasked, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_SessionID, VARIANT*)
USBORVA_CONTROL_METHOD(HRESULT, put_SessionID, VARIANT)
USBORVA_CONTROL_METHOD(HRESULT, get_Track1Length, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track1Length, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_Track2Length, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track2Length, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_Track3Length, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track3Length, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_Track1LengthMasked, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track1LengthMasked, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_Track2LengthMasked, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track2LengthMasked, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_Track3LengthMasked, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track3LengthMasked, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_SigilStatus, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, put_SigilStatus, LONG)
USBORVA_CONTROL_METHOD(HRESULT, get_DUKPTKSN, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_DUKPTKSN, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_DeviceSerialNum, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_DeviceSerialNum, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_CardEncodeType, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_CardEncodeType, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_SwipeCommandOutput, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_SwipeCommandOutput, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, GetTrack, short*, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetTrackMasked, short*, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetFName, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetLName, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, FindElement, short, BSTR, short, BSTR, VARIANT*, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, FindElementMasked, short, BSTR, short, BSTR, VARIANT*, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetDefSetting, BSTR*, VARIANT, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, SaveDefSetting, BSTR*, BSTR*, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, ClearBuffer, short*)
USBORVA_CONTROL_METHOD(HRESULT, About, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetFNameMasked, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, GetLNameMasked, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, get_ReaderID, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_ReaderID, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, InterpretMsg, BSTR*, VARIANT_BOOL*)
USBORVA_CONTROL_METHOD(HRESULT, GetFeatureReport, BSTR, VARIANT*, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, SetFeatureReport, BSTR, VARIANT*, LONG*)
USBORVA_CONTROL_METHOD(HRESULT, get_DeviceState, BYTE*)
USBORVA_CONTROL_METHOD(HRESULT, put_DeviceState, BYTE)
USBORVA_CONTROL_METHOD(HRESULT, get_SessionStatus, BYTE*)
USBORVA_CONTROL_METHOD(HRESULT, put_SessionStatus, BYTE)
USBORVA_CONTROL_METHOD(HRESULT, get_DeviceStatus, BYTE*)
USBORVA_CONTROL_METHOD(HRESULT, put_DeviceStatus, BYTE)
USBORVA_CONTROL_METHOD(HRESULT, get_Track1Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track1Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_Track2Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track2Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_Track3Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_Track3Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_EncTrack1Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_EncTrack1Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_EncTrack2Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_EncTrack2Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_EncTrack3Data, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_EncTrack3Data, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_UsbProduct, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_UsbProduct, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_BitmapCRC, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_BitmapCRC, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_AuthLabel, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_AuthLabel, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_PINLabel, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_PINLabel, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_MSRLabel, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_MSRLabel, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_PINKSN, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_PINKSN, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_DeviceConfig, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_DeviceConfig, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_MSRKSN, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_MSRKSN, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, get_Firmware, BSTR*)
USBORVA_CONTROL_METHOD(HRESULT, put_Firmware, BSTR)
USBORVA_CONTROL_METHOD(HRESULT, EnumConnectionPoints, IEnumConnectionPoints**)
USBORVA_CONTROL_METHOD(HRESULT, FindConnectionPoint, REFIID, IConnectionPoint**)
USBORVA_CONTROL_METHOD(HRESULT, GetClassInfo, ITypeInfo**)
USBORVA_CONTROL_METHOD(HRESULT, GetGUID, DWORD, GUID*)
USBORVA_CONTROL_METHOD(HRESULT, GetClassID, CLSID*)
USBORVA_CONTROL_METHOD(HRESULT, IsDirty)
USBORVA_CONTROL_METHOD(HRESULT, Load, IStream*)
USBORVA_CONTROL_METHOD(HRESULT, Save, IStream*, BOOL)
USBORVA_CONTROL_METHOD(HRESULT, GetSizeMax, ULARGE_INTEGER*)
USBORVA_CONTROL_METHOD(HRESULT, InitNew)
USBORVA_CONTROL_METHOD(HRESULT, Load, IPropertyBag*, IErrorLog*)
USBORVA_CONTROL_METHOD(HRESULT, Save, IPropertyBag*, BOOL, BOOL)
USBORVA_CONTROL_METHOD(HRESULT, SetClientSite, IOleClientSite*)
USBORVA_CONTROL_METHOD(HRESULT, GetClientSite, IOleClientSite**)
USBORVA_CONTROL_METHOD(HRESULT, SetHostNames, LPCOLESTR, LPCOLESTR)
USBORVA_CONTROL_METHOD(HRESULT, Close, DWORD)
USBORVA_CONTROL_METHOD(HRESULT, SetMoniker, DWORD, IMoniker*)
USBORVA_CONTROL_METHOD(HRESULT, GetMoniker, DWORD, DWORD, IMoniker**)
USBORVA_CONTROL_METHOD(HRESULT, InitFromData, IDataObject*, BOOL, DWORD)
USBORVA_CONTROL_METHOD(HRESULT, GetClipboardData, DWORD, IDataObject**)
USBORVA_CONTROL_METHOD(HRESULT, DoVerb, LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT)
USBORVA_CONTROL_METHOD(HRESULT, EnumVerbs, IEnumOLEVERB**)
USBORVA_CONTROL_METHOD(HRESULT, Update)
USBORVA_CONTROL_METHOD(HRESULT, IsUpToDate)
USBORVA_CONTROL_METHOD(HRESULT, GetUserClassID, CLSID*)
USBORVA_CONTROL_METHOD(HRESULT, GetUserType, DWORD, LPOLESTR*)
USBORVA_CONTROL_METHOD(HRESULT, SetExtent, DWORD, SIZEL*)
USBORVA_CONTROL_METHOD(HRESULT, GetExtent, DWORD, SIZEL*)
USBORVA_CONTROL_METHOD(HRESULT, Advise, IAdviseSink*, DWORD*)
USBORVA_CONTROL_METHOD(HRESULT, Unadvise, DWORD)
USBORVA_CONTROL_METHOD(HRESULT, EnumAdvise, IEnumSTATDATA**)
USBORVA_CONTROL_METHOD(HRESULT, GetMiscStatus, DWORD, DWORD*)
USBORVA_CONTROL_METHOD(HRESULT, SetColorScheme, LOGPALETTE*)
USBORVA_CONTROL_METHOD(HRESULT, GetControlInfo, CONTROLINFO*)
USBORVA_CONTROL_METHOD(HRESULT, OnMnemonic, MSG*)
USBORVA_CONTROL_METHOD(HRESULT, OnAmbientPropertyChange, DISPID)
USBORVA_CONTROL_METHOD(HRESULT, FreezeEvents, BOOL)
USBORVA_CONTROL_METHOD(HRESULT, GetWindow, HWND*)
USBORVA_CONTROL_METHOD(HRESULT, ContextSensitiveHelp, BOOL)
USBORVA_CONTROL_METHOD(HRESULT, InPlaceDeactivate)
USBORVA_CONTROL_METHOD(HRESULT, UIDeactivate)
USBORVA_CONTROL_METHOD(HRESULT, SetObjectRects, LPCRECT, LPCRECT)
USBORVA_CONTROL_METHOD(HRESULT, ReactivateAndUndo)
USBORVA_CONTROL_METHOD(HRESULT, Draw, DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL,
                       LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
USBORVA_CONTROL_METHOD(HRESULT, GetColorSet, DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**)
USBORVA_CONTROL_METHOD(HRESULT, Freeze, DWORD, LONG, void*, DWORD*)
USBORVA_CONTROL_METHOD(HRESULT, Unfreeze, DWORD)
USBORVA_CONTROL_METHOD(HRESULT, SetAdvise, DWORD, DWORD, IAdviseSink*)
USBORVA_CONTROL_METHOD(HRESULT, GetAdvise, DWORD*, DWORD*, IAdviseSink**)
USBORVA_CONTROL_METHOD(HRESULT, GetExtent, DWORD, LONG, DVTARGETDEVICE*, SIZEL*)
USBORVA_CONTROL_METHOD(HRESULT, InterfaceSupportsErrorInfo, REFIID)

USBORVA_COM_METHOD(ConnectionPoint, HRESULT, QueryInterface, REFIID, void**)
USBORVA_COM_METHOD(ConnectionPoint, ULONG, AddRef)
USBORVA_COM_METHOD(ConnectionPoint, ULONG, Release)
USBORVA_COM_METHOD(ConnectionPoint, HRESULT, GetConnectionInterface, IID*)
USBORVA_COM_METHOD(ConnectionPoint, HRESULT, GetConnectionPointContainer,
                   IConnectionPointContainer**)
USBORVA_COM_METHOD(ConnectionPoint, HRESULT, Advise, IUnknown*, DWORD*)
USBORVA_COM_METHOD(ConnectionPoint, HRESULT, Unadvise, DWORD)
USBORVA_COM_METHOD(ConnectionPoint, HRESULT, EnumConnections, IEnumConnections**)

#undef USBORVA_CONTROL_METHOD
#undef USBORVA_COM_METHOD

}  // namespace
}  // namespace usborva::activex
