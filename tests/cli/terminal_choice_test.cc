// SPDX-License-Identifier: Apache-2.0
// Choosing the terminal (--device, --serial), waiting for one (monitor --wait), the hints
// that name the same simulation, and the reason a refused exchange gives.
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

const std::string kData = std::string(USBORVA_CLI_TEST_DIR) + "/data/";
// The built-in demo's terminal, as the simulated machine names it.
const std::string kDemoPath = "\\\\?\\hid#vid_2a5c&pid_4c21#sim0";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(TerminalChoiceTest, ListJudgesTheChoiceAfterTheRules) {
  const RunResult by_serial = RunTool({"list", "--simulate", "--serial", "DEMO0001"});
  EXPECT_EQ(by_serial.status, 0) << by_serial.err;
  const RunResult by_path = RunTool({"list", "--simulate", "--device", kDemoPath});
  EXPECT_EQ(by_path.status, 0) << by_path.err;
  EXPECT_EQ(by_path.out, by_serial.out);

  const RunResult other = RunTool({"list", "--simulate", "--serial", "OTHER"});
  EXPECT_EQ(other.status, 3);
  EXPECT_TRUE(Has(other.out, "supported, but not the chosen terminal (another serial number)"))
      << other.out;
  EXPECT_TRUE(Has(other.err, "no supported terminal with serial number OTHER")) << other.err;
  const RunResult nowhere = RunTool({"list", "--simulate", "--device", "/dev/hidraw9", "--json"});
  EXPECT_EQ(nowhere.status, 3);
  EXPECT_TRUE(Has(nowhere.out,
                  "\"supported\":true,\"openable\":true,\"reason\":\"supported, "
                  "but not the chosen terminal (another path)\""))
      << nowhere.out;
  // The rules come first: a choice never makes a refused interface usable.
  const RunResult refused =
      RunTool({"list", "--simulate", kData + "other_vendor.scn", "--serial", "SIM00001"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_TRUE(Has(refused.out, "other vendor"));
  EXPECT_EQ(RunTool({"list", "--simulate", "--serial="}).status, 2);
}

TEST(TerminalChoiceTest, MonitorAndSendTakeOnlyTheChosenTerminal) {
  const RunResult chosen = RunTool({"send", "--get", "09", "--simulate", "--serial", "DEMO0001"});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  const RunResult other = RunTool({"send", "--get", "09", "--simulate", "--device", "/dev/x"});
  EXPECT_EQ(other.status, 3);
  EXPECT_TRUE(Has(other.err, "no supported terminal found at /dev/x."));
  EXPECT_TRUE(Has(other.err, "Run 'usborva list --simulate --device /dev/x'")) << other.err;
  const RunResult monitor = RunTool(
      {"monitor", "--simulate", "--virtual-time", "--duration", "1", "--serial", "no such one"});
  EXPECT_EQ(monitor.status, 3);
  EXPECT_TRUE(Has(monitor.err, "Run 'usborva list --simulate --serial \"no such one\"'"))
      << monitor.err;
}

TEST(TerminalChoiceTest, TheListHintNamesTheSameSimulation) {
  const std::string scenario = kData + "unplugged.scn";
  const std::string hint = "Run 'usborva list --simulate " + scenario + "'";
  const RunResult monitor = RunTool({"monitor", "--simulate", scenario, "--virtual-time"});
  EXPECT_EQ(monitor.status, 3);
  EXPECT_TRUE(Has(monitor.err, hint)) << monitor.err;
  const RunResult send = RunTool({"send", "--get", "09", "--simulate", scenario});
  EXPECT_EQ(send.status, 3);
  EXPECT_TRUE(Has(send.err, hint)) << send.err;
}

TEST(MonitorWaitTest, FindsATerminalPluggedInLater) {
  const std::string scenario = kData + "plugged_later.scn";
  const RunResult without = RunTool({"monitor", "--simulate", scenario, "--virtual-time"});
  EXPECT_EQ(without.status, 3);
  const RunResult waited =
      RunTool({"monitor", "--simulate", scenario, "--virtual-time", "--wait", "--json"});
  EXPECT_EQ(waited.status, 0) << waited.err;
  EXPECT_TRUE(Has(waited.out, "\"type\":\"open\"")) << waited.out;
  EXPECT_TRUE(Has(waited.out, "\"event\":\"DeviceStatusChanged\"")) << waited.out;
  EXPECT_FALSE(Has(waited.err, "waiting")) << waited.err;  // quiet when not on a terminal
}

// The docs' host that retries PortOpen on a timer, on a terminal plugged in a second late.
TEST(WaitExampleTest, RetriesPortOpenUntilTheTerminalIsThere) {
  RunOptions options;
  options.program = USBORVA_WAIT_EXAMPLE;
  const RunResult result = RunTool({kData + "plugged_later.scn"}, options);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "no terminal yet:\n  no HID interfaces\nopen: serial SIM00001\n");
}

TEST(MonitorWaitTest, GivesUpWhenTheScenarioNeverPlugsItIn) {
  const RunResult result =
      RunTool({"monitor", "--simulate", kData + "unplugged.scn", "--virtual-time", "--wait"});
  EXPECT_EQ(result.status, 3);
  EXPECT_TRUE(Has(result.err, "no supported terminal found")) << result.err;
}

TEST(SendReasonTest, ARefusedExchangeGivesTheSystemsReason) {
  const RunResult result =
      RunTool({"send", "--get", "09", "--simulate", kData + "no_features.scn"});
  EXPECT_EQ(result.status, 4);
  EXPECT_TRUE(Has(result.err,
                  "usborva: GetFeatureReport 09: the terminal did not accept the feature "
                  "report (the device failed the request)"))
      << result.err;
}

TEST(TerminalChoiceHelpTest, TheCommandsDocumentTheirNewOptions) {
  for (const char* command : {"monitor", "list", "send"}) {
    const std::string help = RunTool({"help", command}).out;
    EXPECT_TRUE(Has(help, "--device PATH")) << command;
    EXPECT_TRUE(Has(help, "--serial S")) << command;
  }
  EXPECT_TRUE(Has(RunTool({"help", "monitor"}).out, "--wait"));
}

}  // namespace
}  // namespace usborva::cli_test
