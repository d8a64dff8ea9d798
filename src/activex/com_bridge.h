// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_COM_BRIDGE_H_
#define USBORVA_ACTIVEX_COM_BRIDGE_H_

// Conversions between the automation types of COM (BSTR, VARIANT, SAFEARRAY, HRESULT with
// IErrorInfo) and the control's own.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <exception>
#include <string>
#include <utility>

#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva::activex {

inline constexpr wchar_t kErrorSource[] = L"ctlUSBORVA";

// A failure a COM partner (the container, its site, its sinks, its property bag) returned:
// handed back to our own caller as the same HRESULT, with the partner's description when
// it gave one.
class ComError : public std::exception {
 public:
  explicit ComError(HRESULT hr, std::wstring description = {})
      : hr_(hr), description_(std::move(description)) {}
  HRESULT hr() const noexcept { return hr_; }
  const std::wstring& description() const noexcept { return description_; }
  const char* what() const noexcept override { return "COM call failed"; }

 private:
  HRESULT hr_;
  std::wstring description_;
};

// Throws the failure of an IDispatch::Invoke as ComError: DISP_E_EXCEPTION is replaced by
// the exception's own code and text. Frees the texts in exception.
[[noreturn]] void ThrowInvokeFailure(HRESULT hr, EXCEPINFO& exception);

// A VARIANT cleared when it goes out of scope.
class OwnedVariant {
 public:
  OwnedVariant() noexcept { VariantInit(&value_); }
  ~OwnedVariant() { VariantClear(&value_); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  VARIANT* get() noexcept { return &value_; }
  const VARIANT& operator*() const noexcept { return value_; }

 private:
  VARIANT value_;
};

// A BSTR freed when it goes out of scope; a secret one (a PIN block, a key serial number)
// is overwritten with zeros first, so its text does not linger in freed memory.
class OwnedBstr {
 public:
  OwnedBstr(BSTR text, bool secret) noexcept : text_(text), secret_(secret) {}
  ~OwnedBstr();
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  // The slot a callee may replace the text through (it frees what it replaces).
  BSTR& slot() noexcept { return text_; }

 private:
  BSTR text_;
  bool secret_;
};

String FromBstr(BSTR text);
// A new BSTR the caller owns. Throws std::bad_alloc.
BSTR ToBstr(const String& text);
// Replaces *target (freeing what it held) with a copy of text.
void AssignBstr(BSTR* target, const String& text);

// A VARIANT as the control's Variant: by-reference arguments are followed (a few levels of
// Variant references at most, never a null reference), a Byte array must hold one-byte
// unsigned elements, and subtypes the control does not know are brought to text (or Double
// for the other numbers) first, as the automation runtime would convert them. Throws
// AutomationError (13 for what has no such form, 6 for overflow).
Variant FromVariant(const VARIANT& value);
// The VARIANT a chain of VT_BYREF | VT_VARIANT references ends at; throws AutomationError
// 13 on a null reference or a chain longer than a caller can sensibly build.
const VARIANT& Dereferenced(const VARIANT& value);
// Fills *out (which must be cleared or fresh) with value. Missing becomes VT_ERROR
// DISP_E_PARAMNOTFOUND.
void ToVariant(const Variant& value, VARIANT* out);

// The HRESULT and error object of an automation error: 0x800A0000 + number, the standard
// text unless the error has its own. Without memory for the text, the code alone (and no
// error object): the caller still learns which error it was.
HRESULT ReportError(const AutomationError& error) noexcept;
// hr, with an error object of this component that says description.
HRESULT ReportError(HRESULT hr, const wchar_t* description) noexcept;
// A partner's failure: its code, with its description when it gave one.
HRESULT ReportError(const ComError& error) noexcept;

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_COM_BRIDGE_H_
