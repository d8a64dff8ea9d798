#include "activex/com_bridge.h"

#include <cstring>
#include <new>
#include <string>

namespace usborva::activex {
namespace {

ByteArray FromSafeArray(SAFEARRAY* array) {
  if (array == nullptr) return {};
  if (SafeArrayGetDim(array) != 1) throw AutomationError(error::kTypeMismatch);
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  ByteArray bytes(upper >= lower ? static_cast<size_t>(upper - lower + 1) : 0);
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
  VARIANT converted;
  VariantInit(&converted);
  const VARTYPE vt = V_VT(&value) & ~VT_BYREF;
  const bool numeric = vt == VT_I1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8 ||
                       vt == VT_INT || vt == VT_UINT || vt == VT_R4 || vt == VT_CY ||
                       vt == VT_DECIMAL;
  HRESULT hr = VariantChangeTypeEx(&converted, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0,
                                   numeric ? VT_R8 : VT_BSTR);
  if (FAILED(hr)) {
    throw AutomationError(hr == DISP_E_OVERFLOW ? error::kOverflow : error::kTypeMismatch);
  }
  Variant result = numeric ? Variant::FromDouble(V_R8(&converted))
                           : Variant::FromString(FromBstr(V_BSTR(&converted)));
  VariantClear(&converted);
  return result;
}

}  // namespace

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

Variant FromVariant(const VARIANT& value) {
  if (V_VT(&value) == (VT_BYREF | VT_VARIANT)) return FromVariant(*V_VARIANTREF(&value));
  const bool by_ref = (V_VT(&value) & VT_BYREF) != 0;
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

HRESULT ReportError(HRESULT hr, const wchar_t* description) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetGUID(GUID_NULL);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return hr;
}

HRESULT ReportError(const AutomationError& error) {
  const std::string& own = error.description();
  const std::string text = own.empty() ? AutomationError::StandardText(error.number()) : own;
  std::wstring wide(text.begin(), text.end());  // the standard texts are ASCII
  if (!own.empty()) {
    const String utf16 = Utf8ToString(own);
    wide.assign(utf16.begin(), utf16.end());
  }
  return ReportError(static_cast<HRESULT>(error.hresult()), wide.c_str());
}

}  // namespace usborva::activex
