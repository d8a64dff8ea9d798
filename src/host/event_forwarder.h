// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_EVENT_FORWARDER_H_
#define USBORVA_HOST_EVENT_FORWARDER_H_

#include "usborva/events.h"

namespace usborva::host {

// The sink a Host hands the control: passes each event to the program's current sink, or
// drops it when there is none.
class EventForwarder final : public EventSink {
 public:
  void set_target(EventSink* target) { target_ = target != nullptr ? target : &dropped_; }

  void CardDataChanged() override { target_->CardDataChanged(); }
  void CardDataError() override { target_->CardDataError(); }
  void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                           uint8_t& DeviceStatus) override {
    target_->DeviceStatusChanged(DeviceState, SessionStatus, DeviceStatus);
  }
  void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) override {
    target_->CardStatusChanged(OpStatus, CardStatus, CardType);
  }
  void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) override {
    target_->PINResponse(OpStatus, KSN, EPB);
  }
  void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) override {
    target_->SelectResponse(OpStatus, KeyPressed);
  }
  void DisplayDone(uint8_t& DisplayStatus) override { target_->DisplayDone(DisplayStatus); }

 private:
  EventSink dropped_;  // the base class's handlers do nothing
  EventSink* target_ = &dropped_;
};

}  // namespace usborva::host

#endif  // USBORVA_HOST_EVENT_FORWARDER_H_
