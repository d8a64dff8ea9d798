// SPDX-License-Identifier: Apache-2.0
// The default interface _USBORVA: each member hands its arguments to the portable control
// and its result or error back to the caller.
#include "activex/com_bridge.h"
#include "activex/com_entry.h"
#include "activex/control_object.h"

namespace usborva::activex {
namespace {

template <typename Get>
HRESULT GetText(BSTR* out, Get&& get) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] { *out = ToBstr(get()); });
}

template <typename T, typename Get>
HRESULT GetNumber(T* out, Get&& get) {
  if (out == nullptr) return E_POINTER;
  return Guarded([&] { *out = static_cast<T>(get()); });
}

// The getter runs inside the guard too: copying the control's value may run out of memory.
template <typename Get>
HRESULT GetVariant(VARIANT* out, Get&& get) {
  if (out == nullptr) return E_POINTER;
  VariantInit(out);
  return Guarded([&] { ToVariant(get(), out); });
}

Variant ArgumentOrMissing(const VARIANT* value) {
  return value == nullptr ? Variant::Missing() : FromVariant(*value);
}

// Writes a by-reference Variant argument back the way the caller passed it: through a
// typed reference where the caller gave one, else as a fresh Variant.
void WriteBack(VARIANT* given, const Variant& value) {
  if (given == nullptr) return;
  VARIANT* target = const_cast<VARIANT*>(&Dereferenced(*given));
  if (V_VT(target) == (VT_BYREF | VT_BSTR) && V_BSTRREF(target) != nullptr) {
    return AssignBstr(V_BSTRREF(target), ToString(value));
  }
  VARIANT fresh;
  ToVariant(value, &fresh);
  VariantClear(target);
  *target = fresh;
}

// What a feature-report exchange is given in OutPutData, for the one use it has: the text
// SwipeCommandOutput keeps when the exchange fails. A value with no text form (an array of
// another kind, an object without a default value, an error value, a broken reference)
// becomes Missing, which has none either, so the exchange still runs and only that
// bookkeeping step is skipped.
Variant ExchangeInput(const VARIANT* output) {
  if (output == nullptr) return Variant();
  try {
    return FromVariant(*output);
  } catch (const AutomationError&) {
    return Variant::Missing();
  }
}

// FindElement or FindElementMasked of the control, as the interface passes its arguments:
// DirectionBack is written back only when the control changed it.
using FindMember = String (USBORVA::*)(int16_t, String, int16_t, String, Variant&);

HRESULT Find(USBORVA& control, FindMember find, short TrackNum, BSTR RefChar, short Displacement,
             BSTR NumDigits, VARIANT* DirectionBack, BSTR* Result) {
  return GetText(Result, [&] {
    const Variant given = ArgumentOrMissing(DirectionBack);
    Variant direction = given;
    String found =
        (control.*find)(TrackNum, FromBstr(RefChar), Displacement, FromBstr(NumDigits), direction);
    if (!(direction == given)) WriteBack(DirectionBack, direction);
    return found;
  });
}

}  // namespace

#define USBORVA_TEXT_PROPERTY(Name)                                 \
  STDMETHODIMP ControlObject::get_##Name(BSTR* Value) {             \
    return GetText(Value, [&] { return control_->get_##Name(); });  \
  }                                                                 \
  STDMETHODIMP ControlObject::put_##Name(BSTR Value) {              \
    return Guarded([&] { control_->put_##Name(FromBstr(Value)); }); \
  }

#define USBORVA_NUMBER_PROPERTY(Name, Type)                          \
  STDMETHODIMP ControlObject::get_##Name(Type* Value) {              \
    return GetNumber(Value, [&] { return control_->get_##Name(); }); \
  }                                                                  \
  STDMETHODIMP ControlObject::put_##Name(Type Value) {               \
    return Guarded([&] { control_->put_##Name(Value); });            \
  }

USBORVA_TEXT_PROPERTY(CardData)
USBORVA_NUMBER_PROPERTY(SigilLen, LONG)
USBORVA_NUMBER_PROPERTY(SequenceNumber, LONG)
USBORVA_TEXT_PROPERTY(CardDataMasked)
USBORVA_NUMBER_PROPERTY(Track1Length, LONG)
USBORVA_NUMBER_PROPERTY(Track2Length, LONG)
USBORVA_NUMBER_PROPERTY(Track3Length, LONG)
USBORVA_NUMBER_PROPERTY(Track1LengthMasked, LONG)
USBORVA_NUMBER_PROPERTY(Track2LengthMasked, LONG)
USBORVA_NUMBER_PROPERTY(Track3LengthMasked, LONG)
USBORVA_NUMBER_PROPERTY(SigilStatus, LONG)
USBORVA_TEXT_PROPERTY(DUKPTKSN)
USBORVA_TEXT_PROPERTY(DeviceSerialNum)
USBORVA_TEXT_PROPERTY(CardEncodeType)
USBORVA_TEXT_PROPERTY(SwipeCommandOutput)
USBORVA_TEXT_PROPERTY(ReaderID)
USBORVA_NUMBER_PROPERTY(DeviceState, BYTE)
USBORVA_NUMBER_PROPERTY(SessionStatus, BYTE)
USBORVA_NUMBER_PROPERTY(DeviceStatus, BYTE)
USBORVA_TEXT_PROPERTY(Track1Data)
USBORVA_TEXT_PROPERTY(Track2Data)
USBORVA_TEXT_PROPERTY(Track3Data)
USBORVA_TEXT_PROPERTY(EncTrack1Data)
USBORVA_TEXT_PROPERTY(EncTrack2Data)
USBORVA_TEXT_PROPERTY(EncTrack3Data)
USBORVA_TEXT_PROPERTY(UsbProduct)
USBORVA_TEXT_PROPERTY(BitmapCRC)
USBORVA_TEXT_PROPERTY(AuthLabel)
USBORVA_TEXT_PROPERTY(PINLabel)
USBORVA_TEXT_PROPERTY(MSRLabel)
USBORVA_TEXT_PROPERTY(PINKSN)
USBORVA_TEXT_PROPERTY(DeviceConfig)
USBORVA_TEXT_PROPERTY(MSRKSN)
USBORVA_TEXT_PROPERTY(Firmware)

#undef USBORVA_TEXT_PROPERTY
#undef USBORVA_NUMBER_PROPERTY

STDMETHODIMP ControlObject::get_PortOpen(VARIANT_BOOL* Value) {
  return GetNumber(Value, [&] { return control_->get_PortOpen() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP ControlObject::put_PortOpen(VARIANT_BOOL Value) {
  return Guarded([&] {
    control_->put_PortOpen(Value != VARIANT_FALSE);
    if (scenario_ && Value != VARIANT_FALSE) scenario_->PortOpened();
  });
}

STDMETHODIMP ControlObject::get_SigilData(VARIANT* Value) {
  return GetVariant(Value, [&] { return control_->get_SigilData(); });
}

STDMETHODIMP ControlObject::put_SigilData(VARIANT Value) {
  return Guarded([&] { control_->put_SigilData(FromVariant(Value)); });
}

STDMETHODIMP ControlObject::get_SessionID(VARIANT* Value) {
  return GetVariant(Value, [&] { return control_->get_SessionID(); });
}

STDMETHODIMP ControlObject::put_SessionID(VARIANT Value) {
  return Guarded([&] { control_->put_SessionID(FromVariant(Value)); });
}

STDMETHODIMP ControlObject::GetTrack(short* TrackNum, BSTR* Result) {
  if (TrackNum == nullptr) return E_POINTER;
  return GetText(Result, [&] { return control_->GetTrack(*TrackNum); });
}

STDMETHODIMP ControlObject::GetTrackMasked(short* TrackNum, BSTR* Result) {
  if (TrackNum == nullptr) return E_POINTER;
  return GetText(Result, [&] { return control_->GetTrackMasked(*TrackNum); });
}

STDMETHODIMP ControlObject::GetFName(BSTR* Result) {
  return GetText(Result, [&] { return control_->GetFName(); });
}

STDMETHODIMP ControlObject::GetLName(BSTR* Result) {
  return GetText(Result, [&] { return control_->GetLName(); });
}

STDMETHODIMP ControlObject::FindElement(short TrackNum, BSTR RefChar, short Displacement,
                                        BSTR NumDigits, VARIANT* DirectionBack, BSTR* Result) {
  return Find(*control_, &USBORVA::FindElement, TrackNum, RefChar, Displacement, NumDigits,
              DirectionBack, Result);
}

STDMETHODIMP ControlObject::FindElementMasked(short TrackNum, BSTR RefChar, short Displacement,
                                              BSTR NumDigits, VARIANT* DirectionBack,
                                              BSTR* Result) {
  return Find(*control_, &USBORVA::FindElementMasked, TrackNum, RefChar, Displacement, NumDigits,
              DirectionBack, Result);
}

STDMETHODIMP ControlObject::GetDefSetting(BSTR* Key, VARIANT strDefault, BSTR* Result) {
  if (Key == nullptr) return E_POINTER;
  return GetText(Result, [&] {
    String key = FromBstr(*Key);
    return control_->GetDefSetting(key, FromVariant(strDefault));
  });
}

STDMETHODIMP ControlObject::SaveDefSetting(BSTR* Key, BSTR* Setting, BSTR* Result) {
  if (Key == nullptr || Setting == nullptr) return E_POINTER;
  return GetText(Result, [&] {
    String key = FromBstr(*Key);
    String setting = FromBstr(*Setting);
    return control_->SaveDefSetting(key, setting);
  });
}

STDMETHODIMP ControlObject::ClearBuffer(short* Result) {
  return GetNumber(Result, [&] { return control_->ClearBuffer(); });
}

STDMETHODIMP ControlObject::About(BSTR* Result) {
  return GetText(Result, [&] { return control_->About(); });
}

STDMETHODIMP ControlObject::GetFNameMasked(BSTR* Result) {
  return GetText(Result, [&] { return control_->GetFNameMasked(); });
}

STDMETHODIMP ControlObject::GetLNameMasked(BSTR* Result) {
  return GetText(Result, [&] { return control_->GetLNameMasked(); });
}

STDMETHODIMP ControlObject::InterpretMsg(BSTR* sText, VARIANT_BOOL* Result) {
  if (sText == nullptr) return E_POINTER;
  return GetNumber(Result, [&] {
    String text = FromBstr(*sText);
    const bool ok = control_->InterpretMsg(text);
    if (text != FromBstr(*sText)) AssignBstr(sText, text);
    return ok ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

// Never raises to the host: whatever fails is a result of 0. The caller's Variant is
// written only when the exchange produced output text, and keeps its own type otherwise.
HRESULT ControlObject::Exchange(bool get, BSTR command, VARIANT* output, LONG* result) {
  if (result == nullptr) return E_POINTER;
  *result = 0;
  // Out of memory while copying the command or the answer: nothing was handed back, and
  // the result stays 0 (the failure's HRESULT has no one to go to).
  Guarded(ErrorReport::kResultOnly, [&] {
    const Variant given = ExchangeInput(output);
    Variant data = given;
    *result = get ? control_->GetFeatureReport(FromBstr(command), data)
                  : control_->SetFeatureReport(FromBstr(command), data);
    if (*result == 1) WriteBack(output, data);
  });
  SetErrorInfo(0, nullptr);
  return S_OK;
}

STDMETHODIMP ControlObject::GetFeatureReport(BSTR CommandString, VARIANT* OutPutData,
                                             LONG* Result) {
  return Exchange(true, CommandString, OutPutData, Result);
}

STDMETHODIMP ControlObject::SetFeatureReport(BSTR CommandString, VARIANT* OutPutData,
                                             LONG* Result) {
  return Exchange(false, CommandString, OutPutData, Result);
}

}  // namespace usborva::activex
