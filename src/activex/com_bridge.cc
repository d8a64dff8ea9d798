// SPDX-License-Identifier: Apache-2.0
#include "activex/com_bridge.h"

#include <cstring>
#include <new>
#include <string>

#include "activex/com_ptr.h"

namespace usborva::activex {
namespace {

// Deeper chains of Variant references than any host builds are refused, so a reference to
// itself cannot run the conversion out of stack.
constexpr int kMaxVariantReferences = 8;

// Only a one-dimensional array of one-byte unsigned elements is a Byte array: the element
// type and size are checked before a byte is read.
ByteArray FromSafeArray(SAFEARRAY* array) {
  if (array == nullptr) return {};
  VARTYPE element = VT_EMPTY;
  constexpr USHORT kTypedElements =
      FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD | FADF_HAVEIID;
  const bool bytes_only = SUCCEEDED(SafeArrayGetVartype(array, &element))
                              ? element == VT_UI1
                              : (array->fFeatures & kTypedElements) == 0;
  if (SafeArrayGetDim(array) != 1 || !bytes_only || SafeArrayGetElemsize(array) != 1) {
    throw AutomationError(error::kTypeMismatch);
  }
  ByteArray bytes(array->rgsabound[0].cElements);
  if (bytes.empty()) return bytes;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) throw AutomationError(error::kTypeMismatch);
  std::memcpy(bytes.data(), data, bytes.size());
  SafeArrayUnaccessData(array);
  return bytes;
}

SAFEARRAY* ToSafeArray(const ByteArray& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (array == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) {
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  return array;
}

// Subtypes outside the control's set (dates, currency, decimals, 64-bit numbers, objects
// with a default value): the runtime's own conversion to Double or text decides.
Variant Coerced(const VARIANT& value) {
  OwnedVariant owned;
  VARIANT& converted = *owned.get();
  const VARTYPE vt = V_VT(&value) & ~VT_BYREF;
  const bool numeric = vt == VT_I1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8 ||
                       vt == VT_INT || vt == VT_UINT || vt == VT_R4 || vt == VT_CY ||
                       vt == VT_DECIMAL;
  HRESULT hr = VariantChangeTypeEx(&converted, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0,
                                   numeric ? VT_R8 : VT_BSTR);
  if (FAILED(hr)) {
    throw AutomationError(hr == DISP_E_OVERFLOW ? error::kOverflow : error::kTypeMismatch);
  }
  return numeric ? Variant::FromDouble(V_R8(&converted))
                 : Variant::FromString(FromBstr(V_BSTR(&converted)));
}

}  // namespace

OwnedBstr::~OwnedBstr() {
  if (text_ == nullptr) return;
  if (secret_) SecureZeroMemory(text_, SysStringByteLen(text_));
  SysFreeString(text_);
}

String FromBstr(BSTR text) {
  if (text == nullptr) return String();
  return String(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR ToBstr(const String& text) {
  BSTR out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()));
  if (out == nullptr) throw std::bad_alloc();
  return out;
}

void AssignBstr(BSTR* target, const String& text) {
  BSTR fresh = ToBstr(text);
  SysFreeString(*target);
  *target = fresh;
}

const VARIANT& Dereferenced(const VARIANT& value) {
  const VARIANT* at = &value;
  for (int depth = 0; V_VT(at) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxVariantReferences || V_VARIANTREF(at) == nullptr) {
      throw AutomationError(error::kTypeMismatch);
    }
    at = V_VARIANTREF(at);
  }
  return *at;
}

Variant FromVariant(const VARIANT& given) {
  const VARIANT& value = Dereferenced(given);
  const bool by_ref = (V_VT(&value) & VT_BYREF) != 0;
  if (by_ref && V_BYREF(&value) == nullptr) throw AutomationError(error::kTypeMismatch);
  switch (V_VT(&value) & ~VT_BYREF) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::FromInteger(by_ref ? *V_I2REF(&value) : V_I2(&value));
    case VT_I4:
      return Variant::FromLong(by_ref ? *V_I4REF(&value) : V_I4(&value));
    case VT_UI1:
      return Variant::FromByte(by_ref ? *V_UI1REF(&value) : V_UI1(&value));
    case VT_BOOL:
      return Variant::FromBoolean((by_ref ? *V_BOOLREF(&value) : V_BOOL(&value)) != 0);
    case VT_R8:
      return Variant::FromDouble(by_ref ? *V_R8REF(&value) : V_R8(&value));
    case VT_BSTR:
      return Variant::FromString(FromBstr(by_ref ? *V_BSTRREF(&value) : V_BSTR(&value)));
    case VT_ERROR:
      if ((by_ref ? *V_ERRORREF(&value) : V_ERROR(&value)) == DISP_E_PARAMNOTFOUND) {
        return Variant::Missing();
      }
      throw AutomationError(error::kTypeMismatch);
    case VT_ARRAY | VT_UI1:
      return Variant::FromBytes(FromSafeArray(by_ref ? *V_ARRAYREF(&value) : V_ARRAY(&value)));
    default:
      return Coerced(value);
  }
}

void ToVariant(const Variant& value, VARIANT* out) {
  VariantInit(out);
  switch (value.type()) {
    case VarType::kEmpty:
      break;
    case VarType::kNull:
      V_VT(out) = VT_NULL;
      break;
    case VarType::kInteger:
      V_VT(out) = VT_I2, V_I2(out) = value.integer();
      break;
    case VarType::kLong:
      V_VT(out) = VT_I4, V_I4(out) = value.long_value();
      break;
    case VarType::kByte:
      V_VT(out) = VT_UI1, V_UI1(out) = value.byte();
      break;
    case VarType::kBoolean:
      V_VT(out) = VT_BOOL, V_BOOL(out) = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VarType::kDouble:
      V_VT(out) = VT_R8, V_R8(out) = value.dbl();
      break;
    case VarType::kString:
      V_BSTR(out) = ToBstr(value.string()), V_VT(out) = VT_BSTR;
      break;
    case VarType::kByteArray:
      V_ARRAY(out) = ToSafeArray(value.bytes()), V_VT(out) = VT_ARRAY | VT_UI1;
      break;
    case VarType::kMissing:
      V_VT(out) = VT_ERROR, V_ERROR(out) = DISP_E_PARAMNOTFOUND;
      break;
  }
}

HRESULT ReportError(HRESULT hr, const wchar_t* description) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetGUID(GUID_NULL);
    if (ComPtr<IErrorInfo> info = create.As<IErrorInfo>(IID_IErrorInfo))
      SetErrorInfo(0, info.get());
  }
  return hr;
}

HRESULT ReportError(const ComError& error) noexcept {
  if (error.description().empty()) {
    SetErrorInfo(0, nullptr);
    return error.hr();
  }
  return ReportError(error.hr(), error.description().c_str());
}

void ThrowInvokeFailure(HRESULT hr, EXCEPINFO& exception) {
  if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) {
    exception.pfnDeferredFillIn(&exception);
  }
  std::wstring description;
  if (hr == DISP_E_EXCEPTION) {
    hr = exception.scode != 0 ? exception.scode
                              : static_cast<HRESULT>(0x800A0000u + exception.wCode);
    if (exception.bstrDescription != nullptr) {
      description.assign(exception.bstrDescription, SysStringLen(exception.bstrDescription));
    }
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
  throw ComError(hr, std::move(description));
}

HRESULT ReportError(const AutomationError& error) noexcept {
  const HRESULT hr = static_cast<HRESULT>(error.hresult());
  try {
    const std::string& own = error.description();
    const std::string text = own.empty() ? AutomationError::StandardText(error.number()) : own;
    std::wstring wide(text.begin(), text.end());  // the standard texts are ASCII
    if (!own.empty()) {
      const String utf16 = Utf8ToString(own);
      wide.assign(utf16.begin(), utf16.end());
    }
    return ReportError(hr, wide.c_str());
  } catch (const std::bad_alloc&) {
    SetErrorInfo(0, nullptr);  // no older error may pass for this one
    return hr;
  }
}

}  // namespace usborva::activex
