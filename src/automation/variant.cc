// SPDX-License-Identifier: Apache-2.0
#include "usborva/variant.h"

#include <utility>

#include "usborva/automation_error.h"

namespace usborva {

namespace {

template <typename T, typename Storage>
const T& Get(const Storage& storage) {
  if (const T* value = std::get_if<T>(&storage)) return *value;
  throw AutomationError(error::kTypeMismatch);
}

}  // namespace

Variant Variant::Null() { return Variant(Storage(NullTag{})); }
Variant Variant::Missing() { return Variant(Storage(MissingTag{})); }
Variant Variant::FromInteger(int16_t value) { return Variant(Storage(value)); }
Variant Variant::FromLong(int32_t value) { return Variant(Storage(value)); }
Variant Variant::FromByte(uint8_t value) { return Variant(Storage(value)); }
Variant Variant::FromBoolean(bool value) { return Variant(Storage(BoolBox{value})); }
Variant Variant::FromDouble(double value) { return Variant(Storage(value)); }
Variant Variant::FromString(String value) {
  return Variant(Storage(std::in_place_type<String>, std::move(value)));
}
Variant Variant::FromBytes(ByteArray value) {
  return Variant(Storage(std::in_place_type<ByteArray>, std::move(value)));
}

VarType Variant::type() const noexcept {
  // The storage alternatives are declared in VarType order.
  static_assert(std::variant_size_v<Storage> == static_cast<size_t>(VarType::kMissing) + 1);
  return static_cast<VarType>(storage_.index());
}

int16_t Variant::integer() const { return Get<int16_t>(storage_); }
int32_t Variant::long_value() const { return Get<int32_t>(storage_); }
uint8_t Variant::byte() const { return Get<uint8_t>(storage_); }
bool Variant::boolean() const { return Get<BoolBox>(storage_).value; }
double Variant::dbl() const { return Get<double>(storage_); }
const String& Variant::string() const { return Get<String>(storage_); }
const ByteArray& Variant::bytes() const { return Get<ByteArray>(storage_); }

}  // namespace usborva
