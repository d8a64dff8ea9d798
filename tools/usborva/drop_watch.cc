// SPDX-License-Identifier: Apache-2.0
#include "drop_watch.h"

namespace usborva::cli {

DropWatch::DropWatch(Session& session, Reporter& reporter) : reporter_(reporter) {
  if (!session.simulated() || session.player() == nullptr) return;
  sim_ = session.sim();
  id_ = session.player()->interface_id();
  seen_ = sim_->DroppedInputReports(id_);
  reporter_.CountDrops();
}

void DropWatch::Check() {
  if (sim_ == nullptr) return;
  const uint64_t dropped = sim_->DroppedInputReports(id_);
  if (dropped == seen_) return;
  reporter_.Dropped(dropped - seen_, sim_->Interface(id_).queue_policy);
  seen_ = dropped;
}

}  // namespace usborva::cli
