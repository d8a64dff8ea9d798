// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_FORWARDING_EVENT_SINK_H_
#define USBORVA_FORWARDING_EVENT_SINK_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// One raised event as plain values: which event, its byte arguments in the order the event
/// declares them, and PINResponse's two texts. Valid only during the call that hands it over.
struct RaisedEvent {
  EventId id = EventId::kCardDataChanged;  ///< Which event.
  /// The byte arguments, first declared first; those past byte_count are 0.
  std::array<uint8_t, 3> bytes{};
  /// How many of bytes the event declares (0 to 3).
  size_t byte_count = 0;
  /// PINResponse only, null for every other event: the key serial number and the encrypted
  /// PIN block. The PIN block is sensitive: print or keep it only where the user asked to.
  const String* KSN = nullptr;
  const String* EPB = nullptr;  ///< PINResponse's encrypted PIN block; see KSN.
};

/// The event's name as the event interface spells it ("DeviceStatusChanged").
constexpr std::string_view EventName(EventId id) {
  switch (id) {
    case EventId::kCardDataChanged:
      return "CardDataChanged";
    case EventId::kCardDataError:
      return "CardDataError";
    case EventId::kDeviceStatusChanged:
      return "DeviceStatusChanged";
    case EventId::kCardStatusChanged:
      return "CardStatusChanged";
    case EventId::kPINResponse:
      return "PINResponse";
    case EventId::kSelectResponse:
      return "SelectResponse";
    case EventId::kDisplayDone:
      return "DisplayDone";
  }
  return {};
}

/// The names of the event's byte arguments as the event interface spells them, first
/// declared first; empty past the last.
constexpr std::array<std::string_view, 3> EventByteNames(EventId id) {
  switch (id) {
    case EventId::kDeviceStatusChanged:
      return {"DeviceState", "SessionStatus", "DeviceStatus"};
    case EventId::kCardStatusChanged:
      return {"OpStatus", "CardStatus", "CardType"};
    case EventId::kPINResponse:
      return {"OpStatus"};
    case EventId::kSelectResponse:
      return {"OpStatus", "KeyPressed"};
    case EventId::kDisplayDone:
      return {"DisplayStatus"};
    default:
      return {};
  }
}

/// An EventSink for hosts that treat the seven events alike (relay them to another language,
/// record or print them): each event reaches Forward as one RaisedEvent, on the same thread
/// and inside the same poll tick as the event itself. What Forward throws reaches the control
/// as a handler's error would. Header-only: nothing of it lives in the library.
class ForwardingEventSink : public EventSink {
 public:
  void CardDataChanged() override { Forward(RaisedEvent{EventId::kCardDataChanged}); }
  void CardDataError() override { Forward(RaisedEvent{EventId::kCardDataError}); }
  void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                           uint8_t& DeviceStatus) override {
    Forward({EventId::kDeviceStatusChanged, {DeviceState, SessionStatus, DeviceStatus}, 3});
  }
  void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) override {
    Forward({EventId::kCardStatusChanged, {OpStatus, CardStatus, CardType}, 3});
  }
  void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) override {
    Forward({EventId::kPINResponse, {OpStatus}, 1, &KSN, &EPB});
  }
  void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) override {
    Forward({EventId::kSelectResponse, {OpStatus, KeyPressed}, 2});
  }
  void DisplayDone(uint8_t& DisplayStatus) override {
    Forward({EventId::kDisplayDone, {DisplayStatus}, 1});
  }

 protected:
  /// Handles one event. What a handler would write back through the event's by-reference
  /// arguments is not asked for: the control never reads it.
  virtual void Forward(const RaisedEvent& event) = 0;
};

}  // namespace usborva

#endif  // USBORVA_FORWARDING_EVENT_SINK_H_
