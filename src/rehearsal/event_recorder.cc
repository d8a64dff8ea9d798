// SPDX-License-Identifier: Apache-2.0
#include "rehearsal/event_recorder.h"

namespace usborva::rehearsal {

void EventRecorder::Forward(const RaisedEvent& event) {
  RehearsedEvent kept;
  kept.at = elapsed_();
  kept.id = event.id;
  kept.bytes = event.bytes;
  kept.byte_count = event.byte_count;
  if (event.KSN != nullptr) kept.KSN = *event.KSN;
  if (event.EPB != nullptr && keep_pin_blocks_) kept.EPB = *event.EPB;
  events_.push_back(std::move(kept));
  // The scenario's `expect event` lines judge what the host received.
  player_.EventRaised(event);
  if (handler_ && control_ != nullptr) handler_(*control_, event);
}

}  // namespace usborva::rehearsal
