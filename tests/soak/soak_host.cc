// SPDX-License-Identifier: Apache-2.0
#include "soak_host.h"

namespace usborva::soak {

class SoakHost::ManualTimer : public Timer {
 public:
  explicit ManualTimer(std::function<void()> on_tick) : on_tick_(std::move(on_tick)) {}
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override { interval_ = milliseconds; }
  int32_t Interval() const override { return interval_; }
  void Tick() {
    if (enabled_) on_tick_();
  }

 private:
  std::function<void()> on_tick_;
  bool enabled_ = false;
  int32_t interval_ = 0;
};

std::unique_ptr<Timer> SoakHost::CreateTimer(std::function<void()> on_tick) {
  auto timer = std::make_unique<ManualTimer>(std::move(on_tick));
  timer_ = timer.get();
  return timer;
}

void SoakHost::Tick() {
  ++ticks_;
  seen_this_tick_ = 0;
  timer_->Tick();
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

void SoakHost::CardDataChanged() {
  const Expectation* due = Due(Kind::kCardDataChanged, {});
  if (due == nullptr) return;
  const ControlState& s = control_->state();
  if (s.DUKPTKSN != due->text2 || s.SigilStatus != due->sigil_status) {
    Fail("CardDataChanged with the wrong KSN or sigil status", due);
  }
  dukpt_ksn_ = due->text2;
  for (uint8_t type = 1; type <= 7; ++type) {
    if (Field(type) != items_[type]) Fail("CardDataChanged over unseen card data", due);
  }
  Seen();
}

void SoakHost::CardDataError() {
  if (Due(Kind::kCardDataError, {}) == nullptr) return;
  if (!CardFieldsAsSeen()) Fail("CardDataError changed the card data", ledger_.Next());
  Seen();
}

void SoakHost::DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                                   uint8_t& DeviceStatus) {
  const Expectation* due = Due(Kind::kDeviceStatus, {DeviceState, SessionStatus, DeviceStatus});
  if (due == nullptr) return;
  const ControlState& s = control_->state();
  if (s.DeviceState != DeviceState || s.SessionStatus != SessionStatus ||
      s.DeviceStatus != DeviceStatus) {
    Fail("DeviceStatusChanged before its properties were stored", due);
  }
  Seen();
}

void SoakHost::CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) {
  if (Due(Kind::kCardStatus, {OpStatus, CardStatus, CardType}) != nullptr) Seen();
}

void SoakHost::PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) {
  const Expectation* due = Due(Kind::kPINResponse, {OpStatus, 0, 0});
  if (due == nullptr) return;
  if (KSN != due->text || EPB != due->text2) Fail("PINResponse with the wrong KSN or EPB", due);
  Seen();
}

void SoakHost::SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) {
  if (Due(Kind::kSelectResponse, {OpStatus, KeyPressed, 0}) != nullptr) Seen();
}

void SoakHost::DisplayDone(uint8_t& DisplayStatus) {
  if (Due(Kind::kDisplayDone, {DisplayStatus, 0, 0}) != nullptr) Seen();
}

}  // namespace usborva::soak
