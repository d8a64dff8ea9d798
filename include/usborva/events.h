// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_EVENTS_H_
#define USBORVA_EVENTS_H_

#include <cstdint>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

// Dispatch identifiers of the event interface __USBORVA.
enum class EventId : int32_t {
  kCardDataChanged = 1,
  kCardDataError = 2,
  kDeviceStatusChanged = 3,
  kCardStatusChanged = 4,
  kPINResponse = 5,
  kSelectResponse = 6,
  kDisplayDone = 7,
};

// The host's handlers for the seven events. Every argument is passed by reference, as
// the event interface declares; the control never reads back what a handler writes.
// Handlers run synchronously inside a poll tick and may call any member of the control.
class USBORVA_EXPORT EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void CardDataChanged() {}
  virtual void CardDataError() {}
  virtual void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                                   uint8_t& DeviceStatus) {
    (void)DeviceState, (void)SessionStatus, (void)DeviceStatus;
  }
  virtual void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) {
    (void)OpStatus, (void)CardStatus, (void)CardType;
  }
  virtual void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) {
    (void)OpStatus, (void)KSN, (void)EPB;
  }
  virtual void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) {
    (void)OpStatus, (void)KeyPressed;
  }
  virtual void DisplayDone(uint8_t& DisplayStatus) { (void)DisplayStatus; }
};

}  // namespace usborva

#endif  // USBORVA_EVENTS_H_
