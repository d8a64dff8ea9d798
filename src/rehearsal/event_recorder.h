// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_REHEARSAL_EVENT_RECORDER_H_
#define USBORVA_REHEARSAL_EVENT_RECORDER_H_

#include <chrono>
#include <functional>
#include <vector>

#include "usborva/forwarding_event_sink.h"
#include "usborva/rehearsal.h"
#include "usborva/scenario.h"
#include "usborva/usborva.h"

namespace usborva::rehearsal {

// The rehearsal's event sink: keeps each event with its virtual time and its own copies of
// its texts, shows it to the scenario's player, then hands it to the host's handler.
class EventRecorder final : public ForwardingEventSink {
 public:
  EventRecorder(std::vector<RehearsedEvent>& events, const RehearsalHandler& handler,
                scenario::Player& player, std::function<std::chrono::milliseconds()> elapsed,
                bool keep_pin_blocks)
      : events_(events),
        handler_(handler),
        player_(player),
        elapsed_(std::move(elapsed)),
        keep_pin_blocks_(keep_pin_blocks) {}

  // The control the handler answers through; set before the port opens.
  void set_control(USBORVA& control) { control_ = &control; }

 private:
  void Forward(const RaisedEvent& event) override;

  std::vector<RehearsedEvent>& events_;
  const RehearsalHandler& handler_;
  scenario::Player& player_;
  std::function<std::chrono::milliseconds()> elapsed_;
  bool keep_pin_blocks_;
  USBORVA* control_ = nullptr;
};

}  // namespace usborva::rehearsal

#endif  // USBORVA_REHEARSAL_EVENT_RECORDER_H_
