// SPDX-License-Identifier: Apache-2.0
// SigilData and SessionID: the two properties of type Variant, whose puts convert.
#include "usborva/usborva.h"

namespace usborva {

Variant USBORVA::get_SigilData() const { return Variant::FromString(state_.SigilData); }

void USBORVA::put_SigilData(const Variant& value) {
  state_.SigilData = ToString(value);  // a failed conversion leaves the old text
  container_.PropertyChanged(u"SigilData");
}

// An instance loaded from a saved bag holds no array until a put or ClearBuffer stores
// one; it then reads as an empty array, which is what a host iterating over it expects.
Variant USBORVA::get_SessionID() const {
  return Variant::FromBytes(state_.SessionID.value_or(ByteArray{}));
}

void USBORVA::put_SessionID(const Variant& value) {
  state_.SessionID = ToByteArray(value);
  container_.PropertyChanged(u"SessionID");
}

}  // namespace usborva
