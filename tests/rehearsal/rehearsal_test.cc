// SPDX-License-Identifier: Apache-2.0
// Rehearse: a scenario played against a host's handler in virtual time, the events kept with
// their times and their own copies, the control usable from the handler, and nothing left
// behind on the thread or on disk.
#include "usborva/rehearsal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "usborva/hid_system.h"
#include "usborva_test/environment_variable.h"

namespace usborva {
namespace {

using std::chrono::milliseconds;

scenario::Scenario Example(const std::string& name) {
  return scenario::LoadScenario(std::string(USBORVA_EXAMPLES_DIR) + "/" + name);
}

HidSystem* InstalledHidSystem() {
  HidSystem* installed = InstallThreadHidSystem(nullptr);
  InstallThreadHidSystem(installed);
  return installed;
}

using Variable = test::EnvironmentVariable;

TEST(RehearseTest, ASwipeComesBackInOrderWithItsVirtualTimes) {
  std::string ksn_in_handler;
  bool closed_at_setup = false;
  RehearsalOptions options;
  options.setup = [&](USBORVA& control) { closed_at_setup = !control.get_PortOpen(); };
  const Rehearsal run = Rehearse(
      Example("normal_swipe.scn"),
      [&](USBORVA& control, const RaisedEvent& event) {
        if (event.id == EventId::kCardDataChanged) {
          ksn_in_handler = StringToUtf8(control.get_DUKPTKSN());
        }
      },
      options);
  EXPECT_TRUE(closed_at_setup);
  EXPECT_TRUE(run.opened);
  EXPECT_TRUE(run.passed());
  const std::vector<std::string_view> names = {"DeviceStatusChanged", "CardStatusChanged",
                                               "CardDataChanged", "DeviceStatusChanged"};
  EXPECT_EQ(run.names(), names);
  ASSERT_EQ(run.events.size(), 4u);
  // Each report reaches the control at the poll tick after its line (25 ms ticks).
  EXPECT_EQ(run.events[0].at, milliseconds(225));
  EXPECT_EQ(run.events[1].at, milliseconds(725));
  EXPECT_EQ(run.events[3].at, milliseconds(1225));
  EXPECT_EQ(run.events[0].byte_count, 3u);
  EXPECT_EQ(run.events[0].bytes[0], 1);
  EXPECT_EQ(run.events[3].bytes[0], 0);
  EXPECT_EQ(ksn_in_handler, "FFFF9876543210E00007");
  // The scenario ends at 1200 ms; the run settles for 500 ms without an event after it.
  EXPECT_GE(run.length, milliseconds(1700));
  EXPECT_LT(run.length, milliseconds(2500));
}

TEST(RehearseTest, PinResponsesKeepTheirKsnAndThePinBlockOnlyWhenAsked) {
  const Rehearsal run = Rehearse(Example("pin_entry.scn"));
  const std::vector<RehearsedEvent> pins = run.named(EventId::kPINResponse);
  ASSERT_EQ(pins.size(), 2u);
  ASSERT_TRUE(pins[0].KSN.has_value());
  EXPECT_EQ(StringToUtf8(*pins[0].KSN), "FFFF9876543210E00011");
  EXPECT_EQ(pins[1].bytes[0], 1);  // the cancelled entry's OpStatus
  EXPECT_FALSE(pins[0].EPB.has_value());
  EXPECT_FALSE(run.named(EventId::kDisplayDone).front().KSN.has_value());

  RehearsalOptions options;
  options.keep_pin_blocks = true;
  const Rehearsal revealed = Rehearse(Example("pin_entry.scn"), {}, options);
  ASSERT_TRUE(revealed.named(EventId::kPINResponse)[0].EPB.has_value());
  EXPECT_EQ(StringToUtf8(*revealed.named(EventId::kPINResponse)[0].EPB), "7C3B19E0A45D82F6");
}

TEST(RehearseTest, AScenarioPastTheLimitIsNotFinished) {
  RehearsalOptions options;
  options.limit = std::chrono::minutes(1);
  const Rehearsal run = Rehearse(
      scenario::ParseScenario("wait 200ms\ndevice-status 1 0 0\nwait 10min\n"), {}, options);
  EXPECT_FALSE(run.finished);
  EXPECT_FALSE(run.passed());
  EXPECT_EQ(run.events.size(), 1u);
  EXPECT_GE(run.length, milliseconds(60000));
  EXPECT_LT(run.length, milliseconds(61000));
}

// A handler's exception ends the rehearsal and reaches the caller; the thread's HID system
// and the scratch settings folder are gone with it, and the next rehearsal runs as usual.
TEST(RehearseTest, AHandlersExceptionLeavesNothingBehind) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / "usborva-rehearse-test";
  std::filesystem::remove_all(scratch);
  std::filesystem::create_directory(scratch);
  {
    Variable tmpdir("TMPDIR", scratch.string());
    EXPECT_THROW(Rehearse(Example("normal_swipe.scn"),
                          [](USBORVA& control, const RaisedEvent&) {
                            String key = u"Rehearsal";
                            String value = u"saved";
                            control.SaveDefSetting(key, value);
                            throw std::logic_error("the host's handler failed");
                          }),
                 std::logic_error);
    EXPECT_EQ(InstalledHidSystem(), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(scratch));
  }
  std::filesystem::remove_all(scratch);
  EXPECT_EQ(Rehearse(Example("normal_swipe.scn")).events.size(), 4u);
}

// The environment's scenario is for unchanged hosts: a rehearsal plays its own.
TEST(RehearseTest, TheEnvironmentsScenarioStaysOutOfARehearsal) {
  Variable unreadable("USBORVA_SCENARIO", "/nonexistent/usborva/missing.scn");
  EXPECT_TRUE(Rehearse(Example("normal_swipe.scn")).passed());
}

// The host's code answers the terminal through the control: a host that asks for the PIN
// when the display is done passes the scenario's expectations and gets the PIN 800 ms later.
TEST(RehearseTest, TheHostsAnswersMeetTheScenariosExpectations) {
  const Rehearsal run =
      Rehearse(Example("expect_host.scn"), [](USBORVA& control, const RaisedEvent& event) {
        if (event.id != EventId::kDisplayDone) return;
        Variant output;
        control.SetFeatureReport(u"0A01", output);
      });
  EXPECT_TRUE(run.passed()) << (run.failures.empty() ? "" : run.failures.front());
  const std::vector<RehearsedEvent> pins = run.named(EventId::kPINResponse);
  ASSERT_EQ(pins.size(), 1u);
  const RehearsedEvent done = run.named(EventId::kDisplayDone).front();
  EXPECT_GE(pins[0].at - done.at, milliseconds(800));
  EXPECT_LE(pins[0].at - done.at, milliseconds(850));
}

TEST(RehearseTest, AHostThatDoesNotAnswerFailsWithTheExpectationsLine) {
  const Rehearsal run = Rehearse(Example("expect_host.scn"));
  EXPECT_FALSE(run.passed());
  ASSERT_EQ(run.failures.size(), 1u);
  EXPECT_NE(run.failures[0].find("expect_host.scn:24: expected set-feature 0A 01 within 2s"),
            std::string::npos)
      << run.failures[0];
}

}  // namespace
}  // namespace usborva
