// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_EVENT_FORWARDER_H_
#define USBORVA_HOST_EVENT_FORWARDER_H_

#include "usborva/events.h"

namespace usborva::host {

// The sink a Host hands the control: passes each event to the program's current sink, or
// drops it when there is none. An observer (the scenario the environment names, which
// judges the host by what it received) sees each event first.
class EventForwarder final : public EventSink {
 public:
  void set_target(EventSink* target) { target_ = target != nullptr ? target : &dropped_; }
  void set_observer(EventSink* observer) { observer_ = observer != nullptr ? observer : &dropped_; }

  void CardDataChanged() override {
    observer_->CardDataChanged();
    target_->CardDataChanged();
  }
  void CardDataError() override {
    observer_->CardDataError();
    target_->CardDataError();
  }
  void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                           uint8_t& DeviceStatus) override {
    observer_->DeviceStatusChanged(DeviceState, SessionStatus, DeviceStatus);
    target_->DeviceStatusChanged(DeviceState, SessionStatus, DeviceStatus);
  }
  void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) override {
    observer_->CardStatusChanged(OpStatus, CardStatus, CardType);
    target_->CardStatusChanged(OpStatus, CardStatus, CardType);
  }
  void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) override {
    observer_->PINResponse(OpStatus, KSN, EPB);
    target_->PINResponse(OpStatus, KSN, EPB);
  }
  void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) override {
    observer_->SelectResponse(OpStatus, KeyPressed);
    target_->SelectResponse(OpStatus, KeyPressed);
  }
  void DisplayDone(uint8_t& DisplayStatus) override {
    observer_->DisplayDone(DisplayStatus);
    target_->DisplayDone(DisplayStatus);
  }

 private:
  EventSink dropped_;  // the base class's handlers do nothing
  EventSink* target_ = &dropped_;
  EventSink* observer_ = &dropped_;
};

}  // namespace usborva::host

#endif  // USBORVA_HOST_EVENT_FORWARDER_H_
