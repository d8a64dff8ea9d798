// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_DROP_WATCH_H_
#define USBORVA_TOOLS_DROP_WATCH_H_

#include <cstdint>

#include "reporter.h"
#include "session.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::cli {

// Tells the reporter each time the simulated terminal's driver lets input reports go
// because its queue is full, so a rehearsal shows every report a host would have lost. A
// real driver says nothing about its drops: on a real terminal the watch does nothing and
// the summary at close does not count them.
class DropWatch {
 public:
  DropWatch(Session& session, Reporter& reporter);

  // Reports the drops since the last check. Reads one counter and allocates nothing while
  // nothing is dropped, so the run loop calls it after every tick.
  void Check();

 private:
  Reporter& reporter_;
  SimulatedHidSystem* sim_ = nullptr;  // null on a real terminal
  SimulatedHidSystem::InterfaceId id_ = SimulatedHidSystem::kNoInterface;
  uint64_t seen_ = 0;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_DROP_WATCH_H_
