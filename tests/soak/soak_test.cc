// SPDX-License-Identifier: Apache-2.0
// Long runs on the simulated terminal in virtual time: a million poll ticks of mixed
// traffic, at the rate the poll loop takes reports and above it with the terminal unplugged
// and replugged every few thousand ticks, with one control and with two on one thread.
// Every report the terminal sends is accounted for exactly: acted on once, in order, with
// the right event and arguments, or counted as dropped by the driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "live_allocations.h"
#include "rig.h"

namespace usborva::soak {
namespace {

using sim::HandleKind;

struct SoakCase {
  int controls;
  sim::QueuePolicy policy;  // of the terminal's driver
};

class SoakTest : public ::testing::TestWithParam<SoakCase> {
 protected:
  int Controls() const { return GetParam().controls; }
  sim::QueuePolicy Policy() const { return GetParam().policy; }
  // Rounds of ticks (one tick of every control each) that make up SoakTicks() ticks.
  uint64_t Rounds() const { return SoakTicks() / static_cast<uint64_t>(Controls()); }
  void Report(const char* name, const Rig& rig, std::chrono::steady_clock::duration took) {
    const double seconds = std::chrono::duration<double>(took).count();
    std::printf(
        "[ soak     ] %s x%d, %s queue: %llu ticks, %llu sent, %llu delivered, %llu dropped, "
        "%llu discarded at %llu unplugs, %.2f s\n",
        name, Controls(), std::string(sim::QueuePolicyName(Policy())).c_str(),
        static_cast<unsigned long long>(Rounds() * Controls()),
        static_cast<unsigned long long>(rig.ledger.sent()),
        static_cast<unsigned long long>(rig.ledger.delivered()),
        static_cast<unsigned long long>(rig.ledger.dropped()),
        static_cast<unsigned long long>(rig.ledger.discarded()),
        static_cast<unsigned long long>(rig.unplugs), seconds);
  }
};

// Never more than one report per tick: each is acted on in the very tick it arrives for,
// whether it was queued before the tick (the read completes at once) or landed in the read
// a quiet tick left waiting.
TEST_P(SoakTest, AtTheRateThePollLoopTakesEveryReportIsActedOnInItsTick) {
  Rig rig(Controls(), 0x50A4 + static_cast<uint64_t>(Controls()), Policy());
  ASSERT_EQ(rig.Failure(), "");
  const auto start = std::chrono::steady_clock::now();
  bool sent_ahead = false;
  for (uint64_t round = 0; round < Rounds() && rig.Failure().empty(); ++round) {
    for (auto& host : rig.hosts) {
      // One tick in sixteen has nothing for it, so its read stays out for the next report.
      if (!sent_ahead && rig.traffic.Random() % 16 != 0) rig.Send();
      host->Tick();
      if (rig.ledger.Outstanding() != 0) rig.Fail("a report waited past its tick");
      // Sometimes the terminal sends right after a tick: into the waiting read, or the queue.
      sent_ahead = rig.traffic.Random() % 4 == 0;
      if (sent_ahead) rig.Send();
    }
  }
  for (auto& host : rig.hosts) host->Tick();  // the last report sent ahead
  Report("at rate", rig, std::chrono::steady_clock::now() - start);
  ASSERT_EQ(rig.Failure(), "");
  EXPECT_EQ(rig.ledger.Outstanding(), 0u);
  EXPECT_EQ(rig.ledger.delivered(), rig.ledger.sent());
  EXPECT_EQ(rig.hid.DroppedInputReports(rig.id), 0u);
  EXPECT_GT(rig.ledger.sent(), Rounds() * static_cast<uint64_t>(Controls()) * 9 / 10);
}

// The terminal's side of the fast run: its sending rate in phases from a trickle to bursts,
// and unplugged for 1 to 40 ticks every 2000 to 5000. In a quiet spell it sends nothing and
// stays plugged in, so that everything drains.
class HotPlugTerminal {
 public:
  explicit HotPlugTerminal(Rig& rig) : rig_(rig) {}

  void BeforeRound(uint64_t round, bool quiet) {
    constexpr double kRates[] = {0.25, 0.5, 1.0, 1.5, 3.0, 8.0};  // reports per control tick
    if (round % 1000 == 0) rate_ = kRates[rig_.traffic.Random() % std::size(kRates)];
    if (rig_.plugged() && round >= next_unplug_ && !quiet) {
      rig_.Unplug();
      replug_at_ = round + 1 + rig_.traffic.Random() % 40;
    }
    if (!rig_.plugged() && (round >= replug_at_ || quiet)) {
      rig_.Replug();
      next_unplug_ = round + 2000 + rig_.traffic.Random() % 3000;
    }
    if (!rig_.plugged() || quiet) return;
    for (owed_ += rate_ * static_cast<double>(rig_.controls.size()); owed_ >= 1; owed_ -= 1) {
      rig_.Send();
    }
  }

 private:
  Rig& rig_;
  double rate_ = 1.0;
  double owed_ = 0;
  uint64_t next_unplug_ = 2000;
  uint64_t replug_at_ = 0;
};

// At the end of a quiet spell nothing waits and exactly one device, one read event and one
// preparsed-data record are held, however many reconnections came before.
void CheckDrained(Rig& rig) {
  if (rig.ledger.Outstanding() != 0) rig.Fail("reports still waiting after a quiet spell");
  if (rig.hid.OpenHandles(HandleKind::kDevice) != 1 ||
      rig.hid.OpenHandles(HandleKind::kEvent) != 1 ||
      rig.hid.OpenHandles(HandleKind::kPreparsedData) != 1 ||
      rig.hid.OpenHandles(HandleKind::kDeviceInfoSet) != 0) {
    rig.Fail("handles pile up across reconnections");
  }
}

// Faster than the poll loop takes them, with hot plugging. Quiet spells every tenth of the
// run let everything drain; there the program must hold what it held at the first one.
TEST_P(SoakTest, AboveTheRateWithUnplugsEveryReportIsDeliveredOnceOrCountedLost) {
  constexpr uint64_t kQuietRounds = 80;
  const uint64_t quiet_every = std::max<uint64_t>(Rounds() / 10, kQuietRounds * 4);
  Rig rig(Controls(), 0xF10D + static_cast<uint64_t>(Controls()), Policy());
  ASSERT_EQ(rig.Failure(), "");
  HotPlugTerminal terminal(rig);
  std::vector<int64_t> live;  // live heap blocks at the end of each quiet spell
  std::vector<int64_t> resident;
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t round = 0; round < Rounds() && rig.Failure().empty(); ++round) {
    terminal.BeforeRound(round, round % quiet_every >= quiet_every - kQuietRounds);
    rig.TickAll();
    if (round % quiet_every == quiet_every - 1) {
      CheckDrained(rig);
      live.push_back(LiveAllocations());
      resident.push_back(ResidentKiB());
    }
  }
  Report("above rate", rig, std::chrono::steady_clock::now() - start);
  ASSERT_EQ(rig.Failure(), "");
  EXPECT_TRUE(rig.ledger.Balanced());
  EXPECT_EQ(rig.ledger.dropped(), rig.hid.DroppedInputReports(rig.id));
  // The run proves what it claims only if every path was taken often.
  EXPECT_GT(rig.ledger.dropped(), rig.ledger.sent() / 20);
  EXPECT_GT(rig.ledger.discarded(), 0u);
  EXPECT_GT(rig.unplugs, Rounds() / 6000);
  EXPECT_GE(rig.hid.OpenCount(rig.id), rig.unplugs);
  ASSERT_GE(live.size(), 3u);
  const auto [low, high] = std::minmax_element(live.begin(), live.end());
  std::printf("[ soak     ] live heap blocks at quiet spells: %lld..%lld; RSS %lld -> %lld KiB\n",
              static_cast<long long>(*low), static_cast<long long>(*high),
              static_cast<long long>(resident.front()), static_cast<long long>(resident.back()));
  EXPECT_LE(*high - *low, 64) << "what the run holds grows with it";
  // AddressSanitizer keeps freed blocks in quarantine, so resident size says nothing there.
  if (!kUnderAddressSanitizer && resident.front() > 0) {
    EXPECT_LE(resident.back() - resident[1], 2048) << "resident size grows with the run";
  }
  EXPECT_LE(rig.hid.OpenLog().size(), SimulatedHidSystem::kLogDepth);
  EXPECT_LE(rig.hid.FeatureLog().size(), SimulatedHidSystem::kLogDepth);
  rig.CloseAndTerminate();
  EXPECT_EQ(rig.hid.OpenHandles(), 0u);
}

// Under both drivers' queues: the Windows one drops the oldest report, the Linux one the
// report that arrives.
INSTANTIATE_TEST_SUITE_P(Controls, SoakTest,
                         ::testing::Values(SoakCase{1, sim::QueuePolicy::kWindows},
                                           SoakCase{2, sim::QueuePolicy::kWindows},
                                           SoakCase{1, sim::QueuePolicy::kLinux},
                                           SoakCase{2, sim::QueuePolicy::kLinux}),
                         [](const ::testing::TestParamInfo<SoakCase>& info) {
                           std::string name =
                               info.param.controls == 1 ? "OneControl" : "TwoControlsOnOneThread";
                           if (info.param.policy == sim::QueuePolicy::kLinux) name += "LinuxQueue";
                           return name;
                         });

}  // namespace
}  // namespace usborva::soak
