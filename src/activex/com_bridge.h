#ifndef USBORVA_ACTIVEX_COM_BRIDGE_H_
#define USBORVA_ACTIVEX_COM_BRIDGE_H_

// Conversions between the automation types of COM (BSTR, VARIANT, SAFEARRAY, HRESULT with
// IErrorInfo) and the control's own.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <exception>

#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva::activex {

inline constexpr wchar_t kErrorSource[] = L"ctlUSBORVA";

String FromBstr(BSTR text);
// A new BSTR the caller owns. Throws std::bad_alloc.
BSTR ToBstr(const String& text);
// Replaces *target (freeing what it held) with a copy of text.
void AssignBstr(BSTR* target, const String& text);

// A VARIANT as the control's Variant: by-reference arguments are followed, and subtypes the
// control does not know are brought to text (or Double for the other numbers) first, as
// the automation runtime would convert them. Throws AutomationError.
Variant FromVariant(const VARIANT& value);
// Fills *out (which must be cleared or fresh) with value. Missing becomes VT_ERROR
// DISP_E_PARAMNOTFOUND.
void ToVariant(const Variant& value, VARIANT* out);

// The HRESULT and error object of an automation error: 0x800A0000 + number, the standard
// text unless the error has its own.
HRESULT ReportError(const AutomationError& error);
HRESULT ReportError(HRESULT hr, const wchar_t* description);

// Runs body and turns what it throws into an HRESULT with error information; S_OK when it
// returns. Nothing escapes to the caller across the COM boundary.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    body();
    SetErrorInfo(0, nullptr);
    return S_OK;
  } catch (const AutomationError& error) {
    return ReportError(error);
  } catch (const std::bad_alloc&) {
    return ReportError(E_OUTOFMEMORY, L"Out of memory");
  } catch (...) {
    return ReportError(E_UNEXPECTED, L"Unexpected failure");
  }
}

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_COM_BRIDGE_H_
