// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_SOAK_LEDGER_H_
#define USBORVA_TESTS_SOAK_LEDGER_H_

#include <cstdint>
#include <deque>

#include "traffic.h"

namespace usborva::soak {

// Every report the terminal sent and what became of it. The reports not yet seen by the
// host wait here in the order the driver hands them over; the first may already sit in
// the buffer of a read the driver completed, where the queue's overflow cannot reach it.
class Ledger {
 public:
  // A report went to the driver; into_read: it completed a read that was waiting. False
  // when that cannot be: a read waits only while nothing is queued.
  bool Sent(Expectation expect, bool into_read);
  // The driver's queue was full and let its oldest report go. False when nothing was queued.
  bool DroppedOldestQueued();
  // The driver's queue was full and let the report just sent go. False when that report is
  // not there to lose (nothing queued).
  bool DroppedNewest();
  // The terminal was unplugged: the driver discarded everything it had queued.
  void DiscardQueued();

  // The report the host must see next, or nullptr.
  const Expectation* Next() const { return waiting_.empty() ? nullptr : &waiting_.front(); }
  void Delivered();

  // Reports waiting in the driver's queue (the one in a completed read excluded).
  size_t Queued() const { return waiting_.size() - (in_read_ ? 1 : 0); }
  size_t Outstanding() const { return waiting_.size(); }

  uint64_t sent() const { return sent_; }
  uint64_t delivered() const { return delivered_; }
  uint64_t dropped() const { return dropped_; }
  uint64_t discarded() const { return discarded_; }
  // Sent = delivered + dropped + discarded + still waiting.
  bool Balanced() const { return sent_ == delivered_ + dropped_ + discarded_ + waiting_.size(); }

 private:
  std::deque<Expectation> waiting_;
  bool in_read_ = false;
  uint64_t sent_ = 0;
  uint64_t delivered_ = 0;
  uint64_t dropped_ = 0;
  uint64_t discarded_ = 0;
};

}  // namespace usborva::soak

#endif  // USBORVA_TESTS_SOAK_LEDGER_H_
