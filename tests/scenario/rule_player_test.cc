// SPDX-License-Identifier: Apache-2.0
// Rules and expectations played against a real control on a virtual-time loop: the host's
// feature reports start the rules' runs, each on its own time, and the expectations judge
// what the host sent and what the control raised.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "usborva/event_loop.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario.h"
#include "usborva/usborva.h"
#include "usborva/utf8.h"
#include "usborva_test/recording_container.h"

namespace usborva::scenario {
namespace {

using std::chrono::milliseconds;

// A host on a virtual clock with one control on the scenario's terminal. Events and notes
// are logged with their time since the port opened ("925 PINResponse 0").
class Bench : public ForwardingEventSink {
 public:
  explicit Bench(std::string_view text, bool feed_events = true)
      : player_(*sim_, ParseScenario(text, "p.scn")), feed_events_(feed_events) {
    player_.Install();
    player_.set_note_handler([this](const std::string& note) { Log("# " + note); });
    installed_.emplace(*sim_);
    HostOptions options;
    options.events = this;
    host_.emplace(loop_, options);
    control_.emplace(*host_);
    control_->InitProperties();
  }
  ~Bench() override {
    timed_.reset();
    control_->put_PortOpen(false);
    control_->Terminate();
  }

  void Open() {
    control_->put_PortOpen(true);
    ASSERT_TRUE(control_->get_PortOpen());
    opened_ = clock_.Now();
    timed_.emplace(
        player_, [this](std::function<void()> tick) { return loop_.CreateTimer(std::move(tick)); });
    timed_->Start();
  }
  void RunFor(int64_t ms) { loop_.RunFor(milliseconds(ms)); }
  int32_t Set(const std::string& hex) {
    Variant out;
    return control_->SetFeatureReport(Utf8ToString(hex), out);
  }
  // The answer's first bytes, as GetFeatureReport renders them.
  std::string Get(const std::string& hex, size_t bytes) {
    Variant out;
    if (control_->GetFeatureReport(Utf8ToString(hex), out) != 1) return "failed";
    return StringToUtf8(out.string()).substr(0, 3 * bytes - 1);
  }

  int64_t Now() { return std::chrono::duration_cast<milliseconds>(clock_.Now() - opened_).count(); }
  void Log(const std::string& what) { log.push_back(std::to_string(Now()) + " " + what); }

  Player& player() { return player_; }
  SimulatedHidSystem& sim() { return *sim_; }
  USBORVA& control() { return *control_; }

  std::vector<std::string> log;
  std::function<void(const RaisedEvent&)> on_event;

 private:
  void Forward(const RaisedEvent& event) override {
    std::string line(EventName(event.id));
    for (size_t i = 0; i < event.byte_count; ++i) line += " " + std::to_string(event.bytes[i]);
    Log(line);
    if (feed_events_) player_.EventRaised(event);
    if (on_event) on_event(event);
  }

  ManualLoopClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<SimulatedHidSystem> sim_ = NewSimulatedHidSystem();
  Player player_;
  bool feed_events_;
  std::optional<ScopedHidSystem> installed_;
  std::optional<Host> host_;
  std::optional<USBORVA> control_;
  std::optional<TimedPlayer> timed_;
  LoopClock::TimePoint opened_;
};

TEST(RulePlayerTest, ARunStartsInsideTheSetAndKeepsItsOwnTime) {
  Bench bench(R"(
on set-feature 0A 01
  device-status 1 1 0
  wait 800ms
  pin-response 0 FFFF9876543210E00011 7C3B19E0A45D82F6
end
wait 5s
)");
  bench.Open();
  bench.RunFor(100);
  ASSERT_EQ(bench.Set("0A 01"), 1);
  // The steps before the first wait ran inside the call.
  EXPECT_EQ(bench.player().reports_sent(), 1u);
  EXPECT_EQ(bench.player().RunningRules(), 1u);
  bench.RunFor(300);
  ASSERT_EQ(bench.Set("0A 01 FF"), 1);  // a second run, overlapping the first
  EXPECT_EQ(bench.player().RunningRules(), 2u);
  bench.RunFor(2000);
  const std::vector<std::string> expected = {"125 DeviceStatusChanged 1 1 0",
                                             "425 DeviceStatusChanged 1 1 0", "925 PINResponse 0",
                                             "1225 PINResponse 0"};
  EXPECT_EQ(bench.log, expected);
  EXPECT_EQ(bench.player().RunningRules(), 0u);
  EXPECT_FALSE(bench.player().Finished());  // the timed input still waits its 5 s
}

TEST(RulePlayerTest, EveryMatchingRuleRunsInFileOrder) {
  Bench bench(R"(
on set-feature 0A
  note a
end
on set-feature 0A 02
  note b
end
on set-feature 0B
  note c
end
on set-feature 0A ?? 00 7F
  note d
end
)");
  bench.Open();
  bench.Set("0A 02");
  bench.Set("0A 01");
  bench.Set("0A 01 00 7F");
  bench.Set("0C");
  const std::vector<std::string> expected = {"0 # a", "0 # b", "0 # a", "0 # a", "0 # d"};
  EXPECT_EQ(bench.log, expected);
}

// The control's own identity queries at open are feature reports too: a rule matching one
// runs then, and a change it makes is the answer to the Get that follows the Set.
TEST(RulePlayerTest, ModelChangesAnswerTheGetsThatFollow) {
  Bench bench(R"(
feature-report 0x0B 00
on set-feature 0E 10
  bitmap-crc CA FE
  wait 300ms
  display-done 7
end
on set-feature 0A 01
  feature-report 0x0B 01
  config 1112131415161718
  wait 100ms
  feature-report 0x0B 00
  info-item 0x01 none
end
)");
  bench.Open();
  EXPECT_EQ(bench.control().get_BitmapCRC(), u"CA FE ");
  EXPECT_EQ(bench.Get("0B", 2), "0B 00");
  bench.Set("0A 01");
  EXPECT_EQ(bench.Get("0B", 2), "0B 01");
  EXPECT_EQ(bench.Get("09", 3), "09 11 12");
  bench.RunFor(150);
  EXPECT_EQ(bench.Get("0B", 2), "0B 00");
  bench.Set("0E 01");
  EXPECT_EQ(bench.Get("0E 01", 4), "0E 01 00 00");  // the PIN KSN now answers length 0
  bench.RunFor(500);
  // The run started at open, before the timers were there, was taken up by Start.
  EXPECT_EQ(bench.log, std::vector<std::string>{"325 DisplayDone 7"});
}

TEST(ExpectationTest, TheHostsFeatureReportsMeetOrFailThem) {
  Bench bench(R"(
wait 100ms
expect set-feature 0A 01 within 2s
note met
wait 100ms
expect set-feature 0A 02 within 1s
note after
)");
  std::vector<ExpectationFailure> handled;
  bench.player().set_failure_handler(
      [&](const ExpectationFailure& failure) { handled.push_back(failure); });
  bench.Open();
  bench.RunFor(500);
  bench.Set("0A 01");  // met: the timeline goes on at once
  bench.RunFor(200);
  bench.Set("0A 03 00 00 00 00 00 00 00 00 00 00 01");  // not what the second awaits
  bench.Set("0E 10");
  EXPECT_FALSE(bench.player().Finished());
  bench.RunFor(3000);
  const std::vector<std::string> expected = {"500 # met", "1600 # after"};
  EXPECT_EQ(bench.log, expected);
  ASSERT_EQ(bench.player().failures().size(), 1u);
  const ExpectationFailure& failure = bench.player().failures()[0];
  EXPECT_EQ(failure.line, 6);
  EXPECT_EQ(failure.message,
            "p.scn:6: expected set-feature 0A 02 within 1s; the host sent 0A 03 00 00 00 00 00 "
            "00 ... and 0E 10 instead");
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].message, failure.message);
  EXPECT_TRUE(bench.player().Failed());
  EXPECT_TRUE(bench.player().Finished());
}

TEST(ExpectationTest, EventsMeetThemOnlyWhereTheHostFeedsThem) {
  const char* text = R"(
wait 100ms
display-done 3
expect event DisplayDone 0 within 500ms
display-done 0
expect event DisplayDone ?? within 500ms
expect event DeviceStatusChanged within 500ms
)";
  Bench fed(text);
  fed.Open();
  fed.RunFor(3000);
  std::vector<std::string> messages;
  for (const ExpectationFailure& failure : fed.player().failures()) {
    messages.push_back(failure.message);
  }
  const std::vector<std::string> expected = {
      "p.scn:4: expected event DisplayDone 0 within 500ms; the control raised DisplayDone 3 "
      "instead",
      "p.scn:7: expected event DeviceStatusChanged within 500ms; the control raised none"};
  EXPECT_EQ(messages, expected);

  Bench unfed(text, false);
  unfed.Open();
  unfed.RunFor(3000);
  ASSERT_EQ(unfed.player().failures().size(), 3u);
  EXPECT_EQ(unfed.player().failures()[1].line, 6);
  EXPECT_TRUE(unfed.player().Finished());
}

TEST(ExpectationTest, ARunCutShortFailsTheExpectationItWaitsAt) {
  Bench bench("expect set-feature 0A within 1h\n");
  bench.Open();
  bench.RunFor(1000);
  bench.Set("0B");
  EXPECT_FALSE(bench.player().Failed());
  bench.player().EndRun();
  ASSERT_EQ(bench.player().failures().size(), 1u);
  EXPECT_EQ(bench.player().failures()[0].message,
            "p.scn:1: expected set-feature 0A within 1h; the run ended first (the host sent 0B "
            "instead)");
  bench.player().EndRun();  // nothing more to fail
  EXPECT_EQ(bench.player().failures().size(), 1u);
}

TEST(RulePlayerTest, RunsPastTheLimitAreRefusedAndCounted) {
  Bench bench("on set-feature 0A\n wait 1h\n display-done 0\nend\n");
  bench.Open();
  for (size_t i = 0; i <= kMaxRuleRuns; ++i) bench.Set("0A");
  EXPECT_EQ(bench.player().RunningRules(), kMaxRuleRuns);
  EXPECT_EQ(bench.player().rule_runs_refused(), 1u);
}

// A player gone leaves no hook behind on the machine that outlives it.
TEST(RulePlayerTest, TheMachineOutlivesItsPlayer) {
  const std::unique_ptr<SimulatedHidSystem> sim = NewSimulatedHidSystem();
  ScopedHidSystem installed(*sim);
  SimulatedHidSystem::InterfaceId id = 0;
  {
    Player player(*sim, ParseScenario("on set-feature 0A\n display-done 0\nend\n"));
    id = player.Install();
  }
  test::RecordingContainer container;
  USBORVA control(container);
  control.InitProperties();
  control.put_PortOpen(true);
  Variant out;
  EXPECT_EQ(control.SetFeatureReport(u"0A", out), 1);
  EXPECT_EQ(sim->QueuedInputReports(id), 0u);
  control.put_PortOpen(false);
}

}  // namespace
}  // namespace usborva::scenario
