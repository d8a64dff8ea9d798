// SPDX-License-Identifier: Apache-2.0
// Variants for the C program: opaque, with a setter and a getter per subtype, so that no
// layout is fixed in the caller's code.
#include <cstring>
#include <memory>
#include <string_view>

#include "c_api/handles.h"
#include "usborva/automation_error.h"
#include "usborva/usborva_c.h"

using usborva::Variant;
using usborva::VarType;
using usborva::c_api::CallFree;
using usborva::c_api::InterfaceError;
using usborva::c_api::Require;
using usborva::c_api::ValueOf;

namespace {

int32_t TypeTag(VarType type) {
  switch (type) {
    case VarType::kEmpty:
      return USBORVA_TYPE_EMPTY;
    case VarType::kNull:
      return USBORVA_TYPE_NULL;
    case VarType::kInteger:
      return USBORVA_TYPE_INTEGER;
    case VarType::kLong:
      return USBORVA_TYPE_LONG;
    case VarType::kByte:
      return USBORVA_TYPE_BYTE;
    case VarType::kBoolean:
      return USBORVA_TYPE_BOOLEAN;
    case VarType::kDouble:
      return USBORVA_TYPE_DOUBLE;
    case VarType::kString:
      return USBORVA_TYPE_STRING;
    case VarType::kByteArray:
      return USBORVA_TYPE_BYTES;
    case VarType::kMissing:
      return USBORVA_TYPE_MISSING;
  }
  throw InterfaceError(USBORVA_E_INTERNAL);
}

// Replaces the value's contents, overwriting text and bytes it held (they may be card data).
void Assign(usborva_value* value, Variant replacement) {
  Variant& target = ValueOf(value);
  if (target.type() == VarType::kString) {
    usborva::c_api::Wipe(const_cast<usborva::String&>(target.string()));
  } else if (target.type() == VarType::kByteArray) {
    auto& bytes = const_cast<usborva::ByteArray&>(target.bytes());
    usborva::c_api::Wipe(bytes.data(), bytes.size());
  }
  target = std::move(replacement);
}

// The stored value when it has the given subtype; otherwise USBORVA_E_WRONG_TYPE.
const Variant& OfType(const usborva_value* value, VarType type, const void* out) {
  const Variant& variant = ValueOf(value);
  Require(out);
  if (variant.type() != type) throw InterfaceError(USBORVA_E_WRONG_TYPE);
  return variant;
}

}  // namespace

extern "C" {

int32_t usborva_value_create(usborva_value** out) {
  return CallFree([&] {
    Require(out);
    auto value = std::make_unique<usborva_value>();
    usborva::c_api::Register(value.get());
    *out = value.release();
  });
}

int32_t usborva_value_destroy(usborva_value* value) {
  return CallFree([&] {
    Assign(value, Variant());
    usborva::c_api::Unregister(value);
    delete value;
  });
}

int32_t usborva_value_type(const usborva_value* value, int32_t* type) {
  return CallFree([&] {
    const Variant& variant = ValueOf(value);
    Require(type);
    *type = TypeTag(variant.type());
  });
}

int32_t usborva_value_set_empty(usborva_value* value) {
  return CallFree([&] { Assign(value, Variant()); });
}

int32_t usborva_value_set_null(usborva_value* value) {
  return CallFree([&] { Assign(value, Variant::Null()); });
}

int32_t usborva_value_set_missing(usborva_value* value) {
  return CallFree([&] { Assign(value, Variant::Missing()); });
}

int32_t usborva_value_set_integer(usborva_value* value, int16_t v) {
  return CallFree([&] { Assign(value, Variant::FromInteger(v)); });
}

int32_t usborva_value_set_long(usborva_value* value, int32_t v) {
  return CallFree([&] { Assign(value, Variant::FromLong(v)); });
}

int32_t usborva_value_set_byte(usborva_value* value, uint8_t v) {
  return CallFree([&] { Assign(value, Variant::FromByte(v)); });
}

int32_t usborva_value_set_bool(usborva_value* value, int v) {
  return CallFree([&] { Assign(value, Variant::FromBoolean(v != 0)); });
}

int32_t usborva_value_set_double(usborva_value* value, double v) {
  return CallFree([&] { Assign(value, Variant::FromDouble(v)); });
}

int32_t usborva_value_set_string(usborva_value* value, const char* text, size_t length) {
  return CallFree([&] {
    ValueOf(value);
    Require(text);
    const size_t size = length == static_cast<size_t>(-1) ? std::strlen(text) : length;
    Assign(value, Variant::FromString(usborva::Utf8ToString(std::string_view(text, size))));
  });
}

int32_t usborva_value_set_bytes(usborva_value* value, const uint8_t* bytes, size_t length) {
  return CallFree([&] {
    ValueOf(value);
    if (length != 0) Require(bytes);
    Assign(value, Variant::FromBytes(length == 0 ? usborva::ByteArray()
                                                 : usborva::ByteArray(bytes, bytes + length)));
  });
}

int32_t usborva_value_get_integer(const usborva_value* value, int16_t* out) {
  return CallFree([&] { *out = OfType(value, VarType::kInteger, out).integer(); });
}

int32_t usborva_value_get_long(const usborva_value* value, int32_t* out) {
  return CallFree([&] { *out = OfType(value, VarType::kLong, out).long_value(); });
}

int32_t usborva_value_get_byte(const usborva_value* value, uint8_t* out) {
  return CallFree([&] { *out = OfType(value, VarType::kByte, out).byte(); });
}

int32_t usborva_value_get_bool(const usborva_value* value, int* out) {
  return CallFree([&] { *out = OfType(value, VarType::kBoolean, out).boolean() ? 1 : 0; });
}

int32_t usborva_value_get_double(const usborva_value* value, double* out) {
  return CallFree([&] { *out = OfType(value, VarType::kDouble, out).dbl(); });
}

int32_t usborva_value_get_string(const usborva_value* value, char** out, size_t* length) {
  return CallFree([&] {
    const Variant& variant = OfType(value, VarType::kString, out);
    std::string utf8 = usborva::StringToUtf8(variant.string());
    char* text = nullptr;
    try {
      text = usborva::c_api::TextOut(std::string_view(utf8));
    } catch (...) {
      usborva::c_api::Wipe(utf8);
      throw;
    }
    if (length != nullptr) *length = utf8.size();
    usborva::c_api::Wipe(utf8);
    *out = text;
  });
}

int32_t usborva_value_get_bytes(const usborva_value* value, uint8_t** out, size_t* length) {
  return CallFree([&] {
    const Variant& variant = OfType(value, VarType::kByteArray, out);
    Require(length);
    const usborva::ByteArray& bytes = variant.bytes();
    auto* copy = static_cast<uint8_t*>(usborva::c_api::AllocateOut(bytes.size()));
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    *length = bytes.size();
    *out = copy;
  });
}

}  // extern "C"
