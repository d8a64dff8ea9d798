// SPDX-License-Identifier: Apache-2.0
// The example scenarios, played by `usborva monitor --simulate FILE --json --virtual-time`,
// compared with checked-in output. USBORVA_UPDATE_GOLDEN=1 rewrites the expected files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

const std::filesystem::path kGolden = std::filesystem::path(USBORVA_CLI_TEST_DIR) / "golden";

void ExpectGolden(const std::string& name, const RunResult& result) {
  const std::filesystem::path file = kGolden / name;
  if (std::getenv("USBORVA_UPDATE_GOLDEN") != nullptr) {
    WriteFile(file, result.out);
    GTEST_SKIP() << "rewrote " << file;
  }
  EXPECT_EQ(result.out, ReadFile(file))
      << "compare with " << file << " (USBORVA_UPDATE_GOLDEN=1 rewrites it)";
}

struct GoldenCase {
  const char* golden;
  std::vector<std::string> args;
};

class GoldenTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, OutputMatches) {
  const RunResult result = RunTool(GetParam().args);
  ASSERT_EQ(result.status, 0) << result.err;
  ExpectGolden(GetParam().golden, result);
}

std::vector<std::string> Monitor(const std::string& scenario) {
  return {"monitor", "--simulate", "examples/" + scenario, "--json", "--virtual-time"};
}

INSTANTIATE_TEST_SUITE_P(
    Examples, GoldenTest,
    testing::Values(GoldenCase{"normal_swipe.jsonl", Monitor("normal_swipe.scn")},
                    GoldenCase{"bad_read.jsonl", Monitor("bad_read.scn")},
                    GoldenCase{"pin_entry.jsonl", Monitor("pin_entry.scn")},
                    GoldenCase{"unplug_storm.jsonl", Monitor("unplug_storm.scn")},
                    GoldenCase{"request_pin.jsonl", Monitor("request_pin.scn")},
                    GoldenCase{"expect_events.jsonl", Monitor("expect_events.scn")},
                    GoldenCase{
                        "normal_swipe.txt",
                        {"monitor", "--simulate", "examples/normal_swipe.scn", "--virtual-time"}},
                    GoldenCase{"demo.txt", {"demo", "--fast"}},
                    GoldenCase{"demo.jsonl", {"demo", "--fast", "--json"}}),
    [](const testing::TestParamInfo<GoldenCase>& info) {
      std::string name = info.param.golden;
      for (char& c : name) {
        if (c == '.') c = '_';
      }
      return name;
    });

// A scenario is a test of its host: the monitor sends no command, so the expectation of one
// fails, by its line, at once on stderr (or as a JSON line), and the run exits 5. The
// expectations of events the monitor saw are met.
TEST(ExpectationGoldenTest, AFailedExpectationFailsTheRun) {
  const RunResult text =
      RunTool({"monitor", "--simulate", "examples/expect_host.scn", "--virtual-time"});
  EXPECT_EQ(text.status, 5) << text.err;
  EXPECT_EQ(text.err,
            "usborva monitor: examples/expect_host.scn:24: expected set-feature 0A 01 within 2s; "
            "the host sent none\n"
            "usborva monitor: 1 expectation of examples/expect_host.scn failed\n");
  ExpectGolden("expect_host.txt", text);
  const RunResult json = RunTool(Monitor("expect_host.scn"));
  EXPECT_EQ(json.status, 5) << json.err;
  ExpectGolden("expect_host.jsonl", json);
}

// A run cut short by --duration fails the expectation it was waiting at.
TEST(ExpectationGoldenTest, ARunCutShortDoesNotPass) {
  const RunResult result = RunTool(
      {"monitor", "--simulate", "examples/expect_host.scn", "--virtual-time", "--duration", "0.5"});
  EXPECT_EQ(result.status, 5);
  EXPECT_NE(result.err.find("expect_host.scn:24: expected set-feature 0A 01 within 2s; the run "
                            "ended first"),
            std::string::npos)
      << result.err;
}

// Nothing secret reaches the output unless asked for, in either form.
TEST(SafetyTest, ClearCardDataAndPinBlocksOnlyWithReveal) {
  const std::vector<std::string> secrets = {"4111111111111111", "7C3B19E0A45D82F6",
                                            "101000000000000000", "PUBLIC/JOHN"};
  for (const char* form : {"--json", "--virtual-time"}) {
    for (const char* scenario : {"examples/normal_swipe.scn", "examples/pin_entry.scn"}) {
      RunResult hidden = RunTool({"monitor", "--simulate", scenario, "--virtual-time", form});
      ASSERT_EQ(hidden.status, 0) << hidden.err;
      for (const std::string& secret : secrets) {
        EXPECT_EQ(hidden.out.find(secret), std::string::npos) << secret << " in " << scenario;
      }
      EXPECT_EQ(hidden.err.find("warning"), std::string::npos);
    }
  }
  RunResult swipe = RunTool({"monitor", "--simulate", "examples/normal_swipe.scn", "--virtual-time",
                             "--json", "--reveal"});
  EXPECT_NE(swipe.out.find("\"pan\":\"4111111111111111\""), std::string::npos);
  EXPECT_NE(swipe.out.find("\"Track1Data\":\"%B4111111111111111^PUBLIC/JOHN Q^"),
            std::string::npos);
  EXPECT_NE(swipe.err.find("warning: --reveal"), std::string::npos);
  RunResult pin =
      RunTool({"monitor", "--simulate", "examples/pin_entry.scn", "--virtual-time", "--reveal"});
  EXPECT_NE(pin.out.find("EPB=7C3B19E0A45D82F6"), std::string::npos);
}

// Ctrl-C in the middle of a run closes the port and still writes the closing line.
TEST(SignalTest, InterruptClosesThePortCleanly) {
  TempDir dir;
  const std::string scenario = (dir.path() / "long.scn").string();
  WriteFile(scenario, "device-status 1 0 0\nwait 1h\n");
  Child child({"monitor", "--simulate", scenario, "--json"}, RunOptions());
  // The first event comes within a few poll intervals of the open.
  usleep(400 * 1000);
  child.Signal(SIGINT);
  const RunResult result = child.Wait();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\"event\":\"DeviceStatusChanged\""), std::string::npos);
  EXPECT_NE(result.out.find("\"type\":\"close\""), std::string::npos);
  EXPECT_NE(result.out.find("\"reason\":\"interrupted\""), std::string::npos);
  EXPECT_NE(result.out.find("\"PortOpen\":false"), std::string::npos);
}

// The README's example builds against the libraries and runs on the simulated terminal.
TEST(ApiExampleTest, RunsAScenario) {
  RunOptions options;
  options.program = USBORVA_API_EXAMPLE;
  const RunResult result =
      RunTool({std::string(USBORVA_CLI_TEST_DIR) + "/data/quick_swipe.scn"}, options);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "open: USB Payment Terminal, serial SIM00001\n"
            "card read, KSN 0102030405060708090A\n"
            "the card could not be read\n");
}

}  // namespace
}  // namespace usborva::cli_test
