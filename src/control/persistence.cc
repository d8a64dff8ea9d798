// SPDX-License-Identifier: Apache-2.0
// Saving and restoring the control's properties in the container's property bag, and
// the end of an instance. 35 values travel under their own names; SigilData and
// SessionID never do.
#include <variant>

#include "transport/transport.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

using StringField = String ControlState::*;
using LongField = int32_t ControlState::*;
using ByteField = uint8_t ControlState::*;
using BoolField = bool ControlState::*;

struct PersistedKey {
  const char16_t* key;
  std::variant<StringField, LongField, ByteField, BoolField> field;
  // Clear card data: saved only when the container opts in (Container::PersistCardData).
  bool clear_card_data = false;
};

// In read order. The write order differs only in that CardDataMasked goes first and
// CardData eighth; each side looks keys up by name, so the orders interoperate.
constexpr PersistedKey kKeys[] = {
    {u"CardData", &ControlState::CardData, true},
    {u"Track1Length", &ControlState::Track1Length},
    {u"Track2Length", &ControlState::Track2Length},
    {u"Track3Length", &ControlState::Track3Length},
    {u"Track1LengthMasked", &ControlState::Track1LengthMasked},
    {u"Track2LengthMasked", &ControlState::Track2LengthMasked},
    {u"Track3LengthMasked", &ControlState::Track3LengthMasked},
    {u"CardDataMasked", &ControlState::CardDataMasked},
    {u"PortOpen", &ControlState::PortOpen},
    {u"SigilLen", &ControlState::SigilLen},
    {u"SequenceNumber", &ControlState::SequenceNumber},
    {u"SigilStatus", &ControlState::SigilStatus},
    {u"DeviceSerialNum", &ControlState::DeviceSerialNum},
    {u"UsbProduct", &ControlState::UsbProduct},
    {u"BitmapCRC", &ControlState::BitmapCRC},
    {u"AuthLabel", &ControlState::AuthLabel},
    {u"PINLabel", &ControlState::PINLabel},
    {u"MSRLabel", &ControlState::MSRLabel},
    {u"Firmware", &ControlState::Firmware},
    {u"MSRKSN", &ControlState::MSRKSN},
    {u"PINKSN", &ControlState::PINKSN},
    {u"DeviceConfig", &ControlState::DeviceConfig},
    {u"CardEncodeType", &ControlState::CardEncodeType},
    {u"DUKPTKSN", &ControlState::DUKPTKSN},
    {u"ReaderID", &ControlState::ReaderID},
    {u"SwipeCommandOutput", &ControlState::SwipeCommandOutput},
    {u"DeviceState", &ControlState::DeviceState},
    {u"SessionStatus", &ControlState::SessionStatus},
    {u"DeviceStatus", &ControlState::DeviceStatus},
    {u"Track1Data", &ControlState::Track1Data, true},
    {u"Track2Data", &ControlState::Track2Data, true},
    {u"Track3Data", &ControlState::Track3Data, true},
    {u"EncTrack1Data", &ControlState::EncTrack1Data},
    {u"EncTrack2Data", &ControlState::EncTrack2Data},
    {u"EncTrack3Data", &ControlState::EncTrack3Data},
};
constexpr size_t kCardDataIndex = 0;
constexpr size_t kCardDataMaskedIndex = 7;

// Strings default to empty text, Booleans to False, every number to an Integer 0.
Variant DefaultOf(const PersistedKey& entry) {
  if (std::holds_alternative<StringField>(entry.field)) return Variant::FromString(String());
  if (std::holds_alternative<BoolField>(entry.field)) return Variant::FromBoolean(false);
  return Variant::FromInteger(0);
}

void Load(ControlState& state, const PersistedKey& entry, const Variant& value) {
  std::visit(
      [&](auto field) {
        using Field = decltype(field);
        if constexpr (std::is_same_v<Field, StringField>) state.*field = ToString(value);
        if constexpr (std::is_same_v<Field, LongField>) state.*field = ToLong(value);
        if constexpr (std::is_same_v<Field, ByteField>) state.*field = ToByte(value);
        if constexpr (std::is_same_v<Field, BoolField>) state.*field = ToBoolean(value);
      },
      entry.field);
}

Variant Save(const ControlState& state, const PersistedKey& entry) {
  return std::visit(
      [&](auto field) {
        using Field = decltype(field);
        if constexpr (std::is_same_v<Field, StringField>) return Variant::FromString(state.*field);
        if constexpr (std::is_same_v<Field, LongField>) return Variant::FromLong(state.*field);
        if constexpr (std::is_same_v<Field, ByteField>) return Variant::FromByte(state.*field);
        if constexpr (std::is_same_v<Field, BoolField>) return Variant::FromBoolean(state.*field);
      },
      entry.field);
}

size_t WriteOrderToReadIndex(size_t i) {
  if (i == 0) return kCardDataMaskedIndex;
  if (i == kCardDataMaskedIndex) return kCardDataIndex;
  return i;
}

}  // namespace

// A failing key stops loading there, with the error to the container; earlier keys stay
// loaded. Nothing else happens: a loaded PortOpen of True only sets the flag.
void USBORVA::ReadProperties(PropertyBag& bag) {
  for (const PersistedKey& entry : kKeys) {
    Load(state_, entry, bag.ReadProperty(entry.key, DefaultOf(entry)));
  }
}

// Every key is still written, in the same order, so a bag keeps its shape; the clear card
// data goes as its default unless the container opts in, which the omit-when-default rule
// turns into no key at all (and removes one an older save left behind). Full track data
// must not be kept at rest after authorization, and a saved form outlives the transaction.
void USBORVA::WriteProperties(PropertyBag& bag) {
  const bool persist_card_data = container_.PersistCardData();
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    const PersistedKey& entry = kKeys[WriteOrderToReadIndex(i)];
    const Variant default_value = DefaultOf(entry);
    const bool withheld = entry.clear_card_data && !persist_card_data;
    bag.WriteProperty(entry.key, withheld ? default_value : Save(state_, entry), default_value);
  }
}

// The device record is the thread's: ending any instance closes the terminal and the read
// event for every instance on the thread.
void USBORVA::Terminate() {
  ++lifecycle_generation_;
  polling_ = false;
  tmrMain_->SetEnabled(false);
  transport::CloseDevice();
  transport::CloseReadEvent();
}

}  // namespace usborva
