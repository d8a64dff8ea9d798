// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "usborva/scenario.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva::scenario {
namespace {

constexpr char kTimeline[] = R"(note a
wait 100ms
device-status 1 0 0
wait 0ms
note b
wait 250ms
unplug
wait 1s
plug
note c)";

TEST(PlayerTest, AdvanceRunsWhatIsDueAndSaysHowLongToWait) {
  const std::unique_ptr<SimulatedHidSystem> sim = NewSimulatedHidSystem();
  Player player(*sim, ParseScenario(kTimeline));
  std::vector<std::string> notes;
  player.set_note_handler([&](const std::string& text) { notes.push_back(text); });
  const auto id = player.Install();

  EXPECT_EQ(player.Advance(), Milliseconds(100));
  EXPECT_EQ(notes, std::vector<std::string>{"a"});
  EXPECT_EQ(sim->QueuedInputReports(id), 0u);

  EXPECT_EQ(player.Advance(), Milliseconds(250));  // the 0 ms wait does not stop it
  EXPECT_EQ(sim->QueuedInputReports(id), 1u);
  EXPECT_EQ(notes.size(), 2u);

  EXPECT_EQ(player.Advance(), Milliseconds(1000));
  EXPECT_FALSE(sim->Present(id));

  EXPECT_EQ(player.Advance(), std::nullopt);
  EXPECT_TRUE(sim->Present(id));
  EXPECT_TRUE(player.Finished());
  EXPECT_EQ(notes.back(), "c");
  EXPECT_EQ(player.reports_sent(), 1u);
}

// Timers on a virtual clock: the earliest due timer ticks first.
class VirtualTimers {
 public:
  class VirtualTimer : public Timer {
   public:
    VirtualTimer(VirtualTimers& owner, std::function<void()> tick)
        : owner_(owner), tick_(std::move(tick)) {}
    void SetEnabled(bool enabled) override {
      if (enabled && !enabled_) due_ = owner_.now + interval_;
      enabled_ = enabled;
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int32_t ms) override { interval_ = ms; }
    int32_t Interval() const override { return interval_; }

    VirtualTimers& owner_;
    std::function<void()> tick_;
    bool enabled_ = false;
    int32_t interval_ = 0;
    int64_t due_ = 0;
  };

  std::unique_ptr<Timer> Make(std::function<void()> tick) {
    auto timer = std::make_unique<VirtualTimer>(*this, std::move(tick));
    timers_.push_back(timer.get());
    return timer;
  }

  void RunUntilIdle() {
    for (;;) {
      VirtualTimer* next = nullptr;
      for (VirtualTimer* t : timers_) {
        if (t->enabled_ && t->interval_ > 0 && (next == nullptr || t->due_ < next->due_)) next = t;
      }
      if (next == nullptr) return;
      now = next->due_;
      next->due_ += next->interval_;
      next->tick_();
    }
  }

  int64_t now = 0;

 private:
  std::vector<VirtualTimer*> timers_;
};

TEST(TimedPlayerTest, StepsHappenAtTheirTimesOnTheHostsTimer) {
  const std::unique_ptr<SimulatedHidSystem> sim = NewSimulatedHidSystem();
  Player player(*sim, ParseScenario(kTimeline));
  VirtualTimers timers;
  std::vector<std::pair<std::string, int64_t>> notes;
  player.set_note_handler([&](const std::string& text) { notes.emplace_back(text, timers.now); });
  player.Install();
  TimedPlayer timed(player, [&](std::function<void()> tick) { return timers.Make(tick); });

  timed.Start();
  EXPECT_EQ(notes.size(), 1u);  // what is due at once runs in Start
  timers.RunUntilIdle();
  EXPECT_TRUE(timed.Finished());
  const std::vector<std::pair<std::string, int64_t>> expected = {{"a", 0}, {"b", 100}, {"c", 1350}};
  EXPECT_EQ(notes, expected);
}

// The reports a scenario sends are the ones the control understands: a swipe played on the
// simulated machine arrives at the host as card status, then card data.
TEST(PlayerTest, ASwipeReachesTheHostThroughTheControl) {
  const std::unique_ptr<SimulatedHidSystem> sim = NewSimulatedHidSystem();
  ScopedHidSystem installed(*sim);
  Player player(*sim, ParseScenario(R"(serial "S1"
fault get-feature
wait 10ms
swipe track1 "%B4111^DOE/J^2712?" track2 ";4111=2712?" ksn 0102030405060708090A \
      sigil-status 7 card-status 0 1 1
swipe error 3
pin-response 0 FFFF9876543210E00001 0011223344556677)"));
  player.Install();
  test::RecordingContainer container;
  USBORVA control(container);
  control.InitProperties();
  control.put_PortOpen(true);
  ASSERT_TRUE(control.get_PortOpen());
  EXPECT_EQ(control.get_DeviceSerialNum(), u"S1");
  EXPECT_EQ(control.get_BitmapCRC(), u"");  // the terminal's feature reports failed
  while (player.Advance()) {
  }
  for (int i = 0; i < 40; ++i) container.Tick();
  const std::vector<std::string> expected = {
      "CardStatusChanged(0,1,1)", "CardDataChanged()", "CardStatusChanged(0,0,0)",
      "CardDataError()", "PINResponse(0,FFFF9876543210E00001,0011223344556677)"};
  EXPECT_EQ(container.events, expected);
  EXPECT_EQ(control.get_Track1Data(), u"");  // the error swipe sent empty items
  EXPECT_EQ(control.get_DUKPTKSN(), u"0102030405060708090A");
  EXPECT_EQ(control.get_SigilStatus(), 7);
  control.put_PortOpen(false);
}

TEST(PlayerTest, InstallUsesNoConfigurationFileUnlessTheScenarioHasOne) {
  const std::unique_ptr<SimulatedHidSystem> sim = NewSimulatedHidSystem();
  ScopedHidSystem installed(*sim);
  // A product the built-in list lacks, let in by the scenario's own configuration file.
  Player player(*sim, ParseScenario("product 0x1234\nconfig-file \"[Settings]\\nUseConfigFile="
                                    "TRUE\\n[PID_1234]\\nActive=TRUE\\n\""));
  player.Install();
  test::RecordingContainer container;
  USBORVA control(container);
  control.InitProperties();
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  control.put_PortOpen(false);

  const std::unique_ptr<SimulatedHidSystem> other = NewSimulatedHidSystem();
  ScopedHidSystem installed_other(*other);
  Player plain(*other, ParseScenario("product 0x1234"));
  plain.Install();
  control.put_PortOpen(true);
  EXPECT_FALSE(control.get_PortOpen());
}

}  // namespace
}  // namespace usborva::scenario
