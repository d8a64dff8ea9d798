// SPDX-License-Identifier: Apache-2.0
#include "ledger.h"

namespace usborva::soak {

bool Ledger::Sent(Expectation expect, bool into_read) {
  // A read waits only while the queue is empty, so such a report is the next to be seen.
  const bool consistent = !into_read || waiting_.empty();
  waiting_.push_back(std::move(expect));
  if (into_read) in_read_ = true;
  ++sent_;
  return consistent;
}

bool Ledger::DroppedOldestQueued() {
  if (Queued() == 0) return false;
  waiting_.erase(waiting_.begin() + (in_read_ ? 1 : 0));
  ++dropped_;
  return true;
}

bool Ledger::DroppedNewest() {
  if (Queued() == 0) return false;
  waiting_.pop_back();
  ++dropped_;
  return true;
}

void Ledger::DiscardQueued() {
  discarded_ += Queued();
  waiting_.resize(in_read_ ? 1 : 0);
}

void Ledger::Delivered() {
  waiting_.pop_front();
  in_read_ = false;
  ++delivered_;
}

}  // namespace usborva::soak
