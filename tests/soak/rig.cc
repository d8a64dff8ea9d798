// SPDX-License-Identifier: Apache-2.0
#include "rig.h"

#include <cstdlib>
#include <utility>

#include "transport/transport.h"

namespace usborva::soak {

uint64_t SoakTicks() {
  if (const char* text = std::getenv("USBORVA_SOAK_TICKS")) {
    const unsigned long long ticks = std::strtoull(text, nullptr, 10);
    if (ticks > 0) return ticks;
  }
  return kUnderAddressSanitizer ? 100'000 : 1'000'000;
}

Rig::Rig(int controls_wanted, uint64_t seed, sim::QueuePolicy policy)
    : traffic(seed), policy_(policy) {
  previous_ = InstallThreadHidSystem(&hid);
  hid.SetConfigText(std::string());  // the built-in product IDs
  sim::InterfaceSpec spec;
  spec.queue_policy = policy;
  id = hid.AddInterface(std::move(spec));
  // Fill the machine's open log to its bound with entries of the real ones' size, so any
  // growth the run shows later is the control's, not the log's.
  for (size_t i = 0; i < SimulatedHidSystem::kLogDepth; ++i) {
    hid.CreateFileA("\\\\?\\hid#vid_0000&pid_0000#nop0", 0, 0, nullptr, kOpenExisting, 0);
  }
  for (int i = 0; i < controls_wanted; ++i) {
    hosts.push_back(std::make_unique<SoakHost>(ledger));
    controls.push_back(std::make_unique<USBORVA>(*hosts.back()));
    hosts.back()->Attach(*controls.back());
    controls.back()->InitProperties();
  }
  for (auto& control : controls) control->put_PortOpen(true);
  for (auto& control : controls) {
    if (!control->get_PortOpen() || !control->tmrMain().Enabled()) Fail("a port did not open");
  }
}

Rig::~Rig() {
  for (auto& control : controls) control->Terminate();
  controls.clear();
  InstallThreadHidSystem(previous_);
}

void Rig::Send() {
  SentReport sent = traffic.Next();
  const bool into_read = hid.PendingReads(id) > 0;
  const uint64_t dropped_before = hid.DroppedInputReports(id);
  hid.QueueInputReport(id, std::move(sent.report));
  if (!ledger.Sent(std::move(sent.expect), into_read)) {
    Fail("a read was waiting while reports were queued");
  }
  if (hid.DroppedInputReports(id) != dropped_before) {
    const bool known = policy_ == sim::QueuePolicy::kWindows ? ledger.DroppedOldestQueued()
                                                             : ledger.DroppedNewest();
    if (!known) Fail("the driver dropped a report it never queued");
  }
  if (ledger.Queued() != hid.QueuedInputReports(id))
    Fail("the driver's queue and the ledger disagree");
}

void Rig::TickAll() {
  for (auto& host : hosts) host->Tick();
}

void Rig::Unplug() {
  if (ledger.Queued() != hid.QueuedInputReports(id))
    Fail("the driver's queue and the ledger disagree");
  ledger.DiscardQueued();
  hid.Unplug(id);
  plugged_ = false;
  ++unplugs;
}

void Rig::Replug() {
  hid.Replug(id);
  plugged_ = true;
}

void Rig::CloseAndTerminate() {
  for (auto& control : controls) control->put_PortOpen(false);
  for (auto& control : controls) control->Terminate();
}

void Rig::Fail(std::string why) {
  if (failure_.empty()) failure_ = std::move(why);
}

std::string Rig::Failure() const {
  if (!failure_.empty()) return failure_;
  for (size_t i = 0; i < hosts.size(); ++i) {
    if (hosts[i]->failures() > 0) {
      return "control " + std::to_string(i) + ": " + hosts[i]->first_failure() + " (" +
             std::to_string(hosts[i]->failures()) + " failures)";
    }
  }
  return "";
}

}  // namespace usborva::soak
