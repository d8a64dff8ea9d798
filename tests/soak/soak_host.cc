// SPDX-License-Identifier: Apache-2.0
#include "soak_host.h"

namespace usborva::soak {

namespace {

Expectation::Kind KindOf(EventId id) {
  using Kind = Expectation::Kind;
  switch (id) {
    case EventId::kCardDataChanged:
      return Kind::kCardDataChanged;
    case EventId::kCardDataError:
      return Kind::kCardDataError;
    case EventId::kDeviceStatusChanged:
      return Kind::kDeviceStatus;
    case EventId::kCardStatusChanged:
      return Kind::kCardStatus;
    case EventId::kPINResponse:
      return Kind::kPINResponse;
    case EventId::kSelectResponse:
      return Kind::kSelectResponse;
    case EventId::kDisplayDone:
      break;
  }
  return Kind::kDisplayDone;
}

}  // namespace

void SoakHost::Tick() {
  ++ticks_;
  seen_this_tick_ = 0;
  timer().Tick();
  // A card-data item raises no event: the tick acted on it when its property now holds
  // its text, which no other report carries.
  const Expectation* due = ledger_.Next();
  if (due != nullptr && due->kind == Kind::kCardItem && Field(due->item_type) == due->text) {
    items_[due->item_type] = due->text;
    Seen();
  }
  if (!CardFieldsAsSeen()) Fail("a card-data field changed without its report", due);
  if (seen_this_tick_ > 1) Fail("more than one report acted on in one tick", due);
}

const String& SoakHost::Field(uint8_t item_type) const {
  const ControlState& s = control_->state();
  switch (item_type) {
    case 1:
      return s.Track1Data;
    case 2:
      return s.Track2Data;
    case 3:
      return s.Track3Data;
    case 4:
      return s.EncTrack1Data;
    case 5:
      return s.EncTrack2Data;
    case 6:
      return s.EncTrack3Data;
    default:
      return s.SigilData;
  }
}

bool SoakHost::CardFieldsAsSeen() const {
  for (uint8_t type = 1; type <= 7; ++type) {
    if (Field(type) != items_[type]) return false;
  }
  return control_->state().DUKPTKSN == dukpt_ksn_;
}

void SoakHost::Fail(const char* what, const Expectation* due) {
  if (failures_++ > 0) return;
  // Sequence numbers and kinds only: the reports carry card data.
  first_failure_ =
      std::string(what) + " at tick " + std::to_string(ticks_) + "; due: " +
      (due == nullptr ? std::string("nothing")
                      : std::string(KindName(due->kind)) + " #" + std::to_string(due->sequence));
}

const Expectation* SoakHost::Due(Kind kind, std::array<uint8_t, 3> args) {
  const Expectation* due = ledger_.Next();
  if (due == nullptr || due->kind != kind || due->args != args) {
    Fail(KindName(kind), due);
    return nullptr;
  }
  return due;
}

void SoakHost::Seen() {
  ledger_.Delivered();
  ++seen_this_tick_;
}

void SoakHost::Forward(const RaisedEvent& event) {
  const Expectation* due = Due(KindOf(event.id), event.bytes);
  if (due == nullptr) return;
  const ControlState& s = control_->state();
  switch (event.id) {
    case EventId::kCardDataChanged:
      if (s.DUKPTKSN != due->text2 || s.SigilStatus != due->sigil_status) {
        Fail("CardDataChanged with the wrong KSN or sigil status", due);
      }
      dukpt_ksn_ = due->text2;
      for (uint8_t type = 1; type <= 7; ++type) {
        if (Field(type) != items_[type]) Fail("CardDataChanged over unseen card data", due);
      }
      break;
    case EventId::kCardDataError:
      if (!CardFieldsAsSeen()) Fail("CardDataError changed the card data", due);
      break;
    case EventId::kDeviceStatusChanged:
      if (s.DeviceState != event.bytes[0] || s.SessionStatus != event.bytes[1] ||
          s.DeviceStatus != event.bytes[2]) {
        Fail("DeviceStatusChanged before its properties were stored", due);
      }
      break;
    case EventId::kPINResponse:
      if (*event.KSN != due->text || *event.EPB != due->text2) {
        Fail("PINResponse with the wrong KSN or EPB", due);
      }
      break;
    default:
      break;
  }
  Seen();
}

}  // namespace usborva::soak
