// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_SOAK_RIG_H_
#define USBORVA_TESTS_SOAK_RIG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ledger.h"
#include "soak_host.h"
#include "traffic.h"
#include "transport/device_record.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

namespace usborva::soak {

// One simulated terminal and one or more controls on this thread with their ports open,
// all sharing the thread's device record as they would on one form.
class Rig {
 public:
  // The terminal's driver queues as policy says.
  Rig(int controls, uint64_t seed, sim::QueuePolicy policy);
  ~Rig();
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  // The terminal sends its next report.
  void Send();
  // One tick of each control's poll timer, in the order the controls were made.
  void TickAll();
  void Unplug();
  void Replug();
  // Closes every port and ends every control, as a host does when its form goes away.
  void CloseAndTerminate();

  bool plugged() const { return plugged_; }
  // The first failure any part of the run noticed, or "".
  std::string Failure() const;
  void Fail(std::string why);

  transport::ScopedDeviceRecord fresh_record;  // first: outlives all that use the record
  const std::unique_ptr<SimulatedHidSystem> hid_owner = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *hid_owner;
  SimulatedHidSystem::InterfaceId id = 0;
  Ledger ledger;
  Traffic traffic;
  std::vector<std::unique_ptr<SoakHost>> hosts;
  std::vector<std::unique_ptr<USBORVA>> controls;
  uint64_t unplugs = 0;

 private:
  HidSystem* previous_ = nullptr;
  sim::QueuePolicy policy_;
  bool plugged_ = true;
  std::string failure_;
};

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

// Ticks per run: USBORVA_SOAK_TICKS when set, else a million, or a tenth of that under
// AddressSanitizer, whose bookkeeping makes every tick several times dearer.
uint64_t SoakTicks();

}  // namespace usborva::soak

#endif  // USBORVA_TESTS_SOAK_RIG_H_
