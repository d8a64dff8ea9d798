// SPDX-License-Identifier: Apache-2.0
// The control's life: creation with its poll timer, the values of a new instance, and the
// two rules every put follows (store-then-notify, refuse by mode).
#include "usborva/usborva.h"

namespace usborva {

USBORVA::USBORVA(Container& container) : container_(container) {
  tmrMain_ = container_.CreateTimer([this] { PollTick(); });
  tmrMain_->SetInterval(kPollIntervalMs);
  tmrMain_->SetEnabled(false);
}

// The container calls Terminate before it destroys the instance; destruction itself only
// makes sure no tick can reach a dead object.
USBORVA::~USBORVA() { tmrMain_->SetEnabled(false); }

void USBORVA::InitProperties() {
  ControlState fresh;
  fresh.SigilData = std::move(state_.SigilData);  // left as created
  fresh.SessionID = ByteArray{};                  // the conversion of the empty text
  state_ = std::move(fresh);
}

void USBORVA::RefusePut() {
  if (!container_.UserMode()) throw AutomationError(error::kSetNotPermitted);
  throw AutomationError(error::kSetNotSupportedAtRunTime);
}

void USBORVA::StoredPut(std::u16string_view name) { container_.PropertyChanged(name); }

}  // namespace usborva
