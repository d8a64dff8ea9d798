// SPDX-License-Identifier: Apache-2.0
// USBORVA_SCENARIO: every Host of a thread meets one simulated terminal playing the file, the
// scenario starts at the first open attempt, the timeline outlives the host it ticked on,
// an explicit HID system wins, and an unreadable file fails the host with its place.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "transport/device_record.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/environment_variable.h"

namespace usborva {
namespace {

using std::chrono::milliseconds;

// Sets the variable for the test and puts back what was there.
class ScenarioVariable : public test::EnvironmentVariable {
 public:
  explicit ScenarioVariable(const std::string& value)
      : EnvironmentVariable("USBORVA_SCENARIO", value) {}
};

// A scenario file in a scratch folder, named by the variable for the test's life.
class EnvironmentScenario {
 public:
  explicit EnvironmentScenario(const std::string& text)
      : path_(folder_ / "env.scn"), variable_((testing::WriteAll(path_, text), path_)) {}
  const std::string& path() const { return path_; }

 private:
  testing::TempFolder folder_;
  std::string path_;
  ScenarioVariable variable_;
};

HidSystem* InstalledHidSystem() {
  HidSystem* installed = InstallThreadHidSystem(nullptr);
  InstallThreadHidSystem(installed);
  return installed;
}

// Device-status events with the virtual time they came at.
class StatusRecorder : public EventSink {
 public:
  explicit StatusRecorder(LoopClock& clock) : clock_(clock) {}
  void DeviceStatusChanged(uint8_t& state, uint8_t&, uint8_t&) override {
    at.push_back(std::chrono::duration_cast<milliseconds>(clock_.Now().time_since_epoch()));
    states.push_back(state);
  }
  std::vector<milliseconds> at;
  std::vector<int> states;

 private:
  LoopClock& clock_;
};

constexpr char kStatusAfter200ms[] = "serial \"ENV1\"\nwait 200ms\ndevice-status 1 0 0\n";

TEST(EnvironmentScenarioTest, AnUnchangedHostMeetsTheScenariosTerminalAndIsToldSo) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env(kStatusAfter200ms);
  ManualLoopClock clock;
  EventLoop loop(clock);
  StatusRecorder events(clock);
  std::vector<std::string> lines;
  {
    HostOptions options;
    options.events = &events;
    options.on_diagnostic = [&](DiagnosticTopic topic, std::string_view text) {
      lines.push_back(std::string(DiagnosticTopicName(topic)) + ": " + std::string(text));
    };
    Host host(loop, options);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "system: USBORVA_SCENARIO: " + env.path() +
                                 " plays on a simulated terminal in place of the HID stack");
    EXPECT_NE(InstalledHidSystem(), nullptr);
    USBORVA control(host);
    control.InitProperties();
    loop.RunFor(milliseconds(1000));  // before the open: the scenario waits for it
    const milliseconds opened =
        std::chrono::duration_cast<milliseconds>(clock.Now().time_since_epoch());
    control.put_PortOpen(true);
    ASSERT_TRUE(control.get_PortOpen());
    EXPECT_EQ(StringToUtf8(control.get_DeviceSerialNum()), "ENV1");
    loop.RunFor(milliseconds(500));
    ASSERT_EQ(events.states, std::vector<int>{1});
    EXPECT_GE(events.at[0] - opened, milliseconds(200));
    EXPECT_LE(events.at[0] - opened, milliseconds(250));
    control.Terminate();
  }
  EXPECT_EQ(InstalledHidSystem(), nullptr);  // the last host took the machine down
}

// The scenario judges the unchanged host too: the events it received meet `expect event`,
// and what it failed to do is said on the debug channel, once, naming the line.
TEST(EnvironmentScenarioTest, ExpectationsJudgeTheHostAndFailuresReachTheDebugChannel) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env(
      "wait 100ms\ndevice-status 1 0 0\n"
      "expect event DeviceStatusChanged 1 ?? ?? within 500ms\n"
      "expect set-feature 0A 01 within 300ms\n");
  ManualLoopClock clock;
  EventLoop loop(clock);
  std::vector<std::string> failures;
  HostOptions options;
  options.on_diagnostic = [&](DiagnosticTopic, std::string_view text) {
    if (text.starts_with("expectation failed: ")) failures.emplace_back(text);
  };
  Host host(loop, options);
  USBORVA control(host);
  control.InitProperties();
  control.put_PortOpen(true);
  loop.RunFor(milliseconds(2000));
  control.Terminate();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("env.scn:4: expected set-feature 0A 01 within 300ms"),
            std::string::npos)
      << failures[0];
}

// A scenario that starts unplugged plays its plug although the first open fails; a close
// of a port never opened does not start it.
TEST(EnvironmentScenarioTest, TheFirstOpenAttemptStartsTheScenarioEvenWhenItFails) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env("unplugged\nwait 300ms\nplug\n");
  ManualLoopClock clock;
  EventLoop loop(clock);
  Host host(loop);
  USBORVA control(host);
  control.InitProperties();
  control.put_PortOpen(false);
  loop.RunFor(milliseconds(1000));
  control.put_PortOpen(true);
  EXPECT_FALSE(control.get_PortOpen());  // still unplugged: the close started nothing
  loop.RunFor(milliseconds(400));
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  control.Terminate();
}

// Hosts of a thread share one terminal; the timeline ticks on the oldest host's loop and
// moves to the next when that host goes.
TEST(EnvironmentScenarioTest, TheTimelineOutlivesTheHostItTickedOn) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env(kStatusAfter200ms);
  ManualLoopClock clock;
  EventLoop loop(clock);
  StatusRecorder events(clock);
  HostOptions options;
  options.events = &events;
  auto first_clock = std::make_unique<ManualLoopClock>();
  auto first_loop = std::make_unique<EventLoop>(*first_clock);
  auto first = std::make_unique<Host>(*first_loop);
  HidSystem* const shared = InstalledHidSystem();
  Host second(loop, options);
  EXPECT_EQ(InstalledHidSystem(), shared);
  USBORVA control(second);
  control.InitProperties();
  control.put_PortOpen(true);  // the timeline starts on the first host's loop
  EXPECT_EQ(StringToUtf8(control.get_DeviceSerialNum()), "ENV1");
  first.reset();
  first_loop.reset();
  loop.RunFor(milliseconds(500));
  EXPECT_EQ(events.states, std::vector<int>{1});
  control.Terminate();
}

TEST(EnvironmentScenarioTest, AThreadWithItsOwnHidSystemKeepsIt) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env(kStatusAfter200ms);
  const std::unique_ptr<SimulatedHidSystem> own = NewSimulatedHidSystem();
  sim::InterfaceSpec spec;
  spec.serial_number = u"OWN";
  own->AddInterface(spec);
  own->SetConfigText(std::nullopt);
  ScopedHidSystem installed(*own);
  ManualLoopClock clock;
  EventLoop loop(clock);
  std::vector<std::string> lines;
  HostOptions options;
  options.on_diagnostic = [&](DiagnosticTopic, std::string_view text) { lines.emplace_back(text); };
  Host host(loop, options);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(InstalledHidSystem(), own.get());
  USBORVA control(host);
  control.InitProperties();
  control.put_PortOpen(true);
  EXPECT_EQ(StringToUtf8(control.get_DeviceSerialNum()), "OWN");
  control.Terminate();
}

// The same when the environment's machine is already there, under the program's own.
TEST(EnvironmentScenarioTest, AHostOverTheProgramsOwnSystemKeepsItToo) {
  transport::ScopedDeviceRecord record;
  EnvironmentScenario env(kStatusAfter200ms);
  ManualLoopClock clock;
  EventLoop loop(clock);
  Host environment_host(loop);
  const std::unique_ptr<SimulatedHidSystem> own = NewSimulatedHidSystem();
  ScopedHidSystem installed(*own);
  std::vector<std::string> lines;
  HostOptions options;
  options.on_diagnostic = [&](DiagnosticTopic, std::string_view text) { lines.emplace_back(text); };
  Host host(loop, options);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(InstalledHidSystem(), own.get());
}

class CountingSink : public DiagnosticSink {
 public:
  void Diagnostic(DiagnosticTopic, std::string_view) override { ++lines; }
  int lines = 0;
};

TEST(EnvironmentScenarioTest, AnUnreadableScenarioFailsTheHostWithItsPlace) {
  ManualLoopClock clock;
  EventLoop loop(clock);
  CountingSink outer;
  ScopedDiagnosticSink outer_on(outer);
  HostOptions options;
  options.on_diagnostic = [](DiagnosticTopic, std::string_view) {};
  {
    EnvironmentScenario env("serial \"A\"\nbogus 1\n");
    try {
      Host host(loop, options);
      ADD_FAILURE() << "a host on an unreadable scenario";
    } catch (const scenario::ScenarioError& error) {
      EXPECT_EQ(error.source(), env.path());
      EXPECT_EQ(error.line(), 2);
      EXPECT_EQ(std::string(error.what()).rfind(env.path() + ":2:1: ", 0), 0u) << error.what();
    }
  }
  {
    ScenarioVariable missing("/nonexistent/usborva/missing.scn");
    EXPECT_THROW(Host(loop, options), scenario::ScenarioError);
  }
  // Nothing of the failed hosts stays behind: no machine, and the sink from before.
  EXPECT_EQ(InstalledHidSystem(), nullptr);
  DiagnosticSink* const sink = InstallThreadDiagnosticSink(nullptr);
  InstallThreadDiagnosticSink(sink);
  EXPECT_EQ(sink, &outer);
}

TEST(EnvironmentScenarioTest, AnEmptyVariableNamesNothing) {
  ScenarioVariable empty("");
  ManualLoopClock clock;
  EventLoop loop(clock);
  Host host(loop);
  EXPECT_EQ(InstalledHidSystem(), nullptr);
}

}  // namespace
}  // namespace usborva
