// SPDX-License-Identifier: Apache-2.0
// `usborva simulate` end to end: keys from a file in virtual time (golden outputs), what
// is masked, how a run ends, and the keyboard on a real (pseudo-)terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

const std::filesystem::path kGolden = std::filesystem::path(USBORVA_CLI_TEST_DIR) / "golden";

// Swipe card 1, a PIN, selection key 1, display done, the cable out and back, quit; the
// line breaks take no turn.
constexpr char kSessionKeys[] = "1p\n!d\nuuq";

RunResult Simulate(const std::string& keys, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"simulate", "--virtual-time"});
  RunOptions options;
  options.input = keys;
  return RunTool(args, options);
}

void ExpectGolden(const std::string& name, const std::string& out) {
  const std::filesystem::path file = kGolden / name;
  if (std::getenv("USBORVA_UPDATE_GOLDEN") != nullptr) {
    WriteFile(file, out);
    GTEST_SKIP() << "rewrote " << file;
  }
  EXPECT_EQ(out, ReadFile(file)) << "compare with " << file
                                 << " (USBORVA_UPDATE_GOLDEN=1 rewrites it)";
}

// Only the event lines: the keyboard run adds a note per key, the replay has none.
std::string EventLines(const std::string& jsonl) {
  std::string events;
  std::istringstream lines(jsonl);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"type\":\"event\"") != std::string::npos) events += line + "\n";
  }
  return events;
}

// A session rehearsed by hand, recorded, replays as the same events: a host's test can
// keep what a person once did at the keyboard.
TEST(SimulateTest, AKeyboardSessionRecordedReplaysAsTheSameEvents) {
  TempDir dir;
  const std::filesystem::path recording = dir.path() / "keys.scn";
  const RunResult keyed = Simulate(kSessionKeys, {"--json", "--reveal", "--record", recording});
  ASSERT_EQ(keyed.status, 0) << keyed.err;
  const RunResult replay = RunTool(
      {"monitor", "--simulate", recording.string(), "--virtual-time", "--json", "--reveal"});
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_NE(EventLines(keyed.out).find("PINResponse"), std::string::npos);
  EXPECT_EQ(EventLines(replay.out), EventLines(keyed.out));
}

TEST(SimulateTest, KeysFromAFileInVirtualTimeGiveTheSameSessionEveryTime) {
  const RunResult json = Simulate(kSessionKeys, {"--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  ExpectGolden("simulate_keys.jsonl", json.out);
  const RunResult text = Simulate(kSessionKeys);
  ASSERT_EQ(text.status, 0) << text.err;
  ExpectGolden("simulate_keys.txt", text.out);
  // monitor --simulate SCENARIO -i is the same run.
  RunOptions options;
  options.input = kSessionKeys;
  const RunResult monitor =
      RunTool({"monitor", "--simulate", std::string(USBORVA_CLI_TEST_DIR) + "/data/empty.scn", "-i",
               "--virtual-time", "--json"},
              options);
  EXPECT_EQ(monitor.status, 0) << monitor.err;
  EXPECT_EQ(monitor.out, json.out);
}

// Every test card, a PIN, a failed read: no clear number, track or PIN block unless asked.
TEST(SimulateTest, CardDataIsMaskedUnlessRevealed) {
  const std::string keys = "12345678pe";
  const std::vector<std::string> secrets = {"4111111111111111", "5555555555554444",
                                            "378282246310005", "0123456789ABCDEF", "TEST/CARD"};
  for (const char* form : {"--json", "--virtual-time"}) {
    const RunResult run = Simulate(keys, {form});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("411111******1111"), std::string::npos);
    for (const std::string& secret : secrets) {
      EXPECT_EQ(run.out.find(secret), std::string::npos) << secret << " with " << form;
    }
  }
  const RunResult revealed = Simulate("1p", {"--json", "--reveal"});
  EXPECT_NE(revealed.out.find("\"pan\":\"4111111111111111\""), std::string::npos);
  EXPECT_NE(revealed.out.find("\"EPB\":\"0123456789ABCDEF\""), std::string::npos);
  EXPECT_NE(revealed.err.find("warning: --reveal"), std::string::npos);
}

TEST(SimulateTest, UnknownKeysSaySoAndTheRunGoesOn) {
  const RunResult run = Simulate(
      "x\x1B[A\x1A"
      "1");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("# key 'x' does nothing (? lists the keys)"), std::string::npos);
  EXPECT_NE(run.out.find("# key Up does nothing"), std::string::npos);
  EXPECT_NE(run.out.find("# key Ctrl-Z does nothing"), std::string::npos);
  EXPECT_NE(run.out.find("CardDataChanged"), std::string::npos);
  EXPECT_NE(run.out.find("(end of input)"), std::string::npos);
  // ? and c print their blocks with the events; beside JSON, on standard error.
  const RunResult help = Simulate("?c");
  EXPECT_NE(help.out.find("Keys (no Enter needed):"), std::string::npos);
  EXPECT_NE(help.out.find("Amex 15 digits"), std::string::npos);
  const RunResult json = Simulate("?c", {"--json"});
  EXPECT_EQ(json.out.find("Keys ("), std::string::npos);
  EXPECT_NE(json.err.find("Keys (no Enter needed):"), std::string::npos);
}

// The end of the keys ends the run once the scenario has played: with no keys, simulate
// shows what monitor shows of the same scenario.
TEST(SimulateTest, TheEndOfTheInputEndsTheRunAfterTheScenario) {
  const RunResult none = Simulate("", {"--json"});
  ASSERT_EQ(none.status, 0) << none.err;
  EXPECT_NE(none.out.find("\"reason\":\"end of input\""), std::string::npos);
  const std::string scenario = "examples/normal_swipe.scn";
  RunResult keys = Simulate("", {scenario, "--json"});
  RunResult monitor = RunTool({"monitor", "--simulate", scenario, "--virtual-time", "--json"});
  auto events = [](const std::string& out) {
    std::string lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      if (line.find("\"type\":\"close\"") == std::string::npos) lines += line + "\n";
    }
    return lines;
  };
  ASSERT_EQ(keys.status, 0) << keys.err;
  EXPECT_EQ(events(keys.out), events(monitor.out));
  // q does not wait for the scenario: an hour-long one ends at once.
  TempDir dir;
  const std::string hour = (dir.path() / "hour.scn").string();
  WriteFile(hour, "wait 1h\ndevice-status 1 0 0\n");
  const RunResult quit = Simulate("q", {hour, "--json"});
  EXPECT_NE(quit.out.find("\"reason\":\"quit\""), std::string::npos);
  EXPECT_EQ(quit.out.find("DeviceStatusChanged"), std::string::npos);
}

TEST(SimulateTest, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"simulate", "-"}, "the keys come from standard input"},
      {{"monitor", "--simulate", "-", "-i"}, "the keys come from standard input"},
      {{"monitor", "-i"}, "--interactive needs --simulate"},
      {{"simulate", "a.scn", "b.scn"}, "unexpected argument 'b.scn'"},
      {{"simulate", "no/such.scn"}, "no/such.scn: cannot open"},
      {{"simulate", "--wait"}, "unknown option --wait"},
  };
  for (const Case& c : cases) {
    const RunResult run = RunTool(c.args);
    EXPECT_EQ(run.status, 2) << c.args.back();
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

// A pseudo-terminal as the tool's standard input: keys act as typed, and the terminal is
// put back as it was (the other ways out are tested on the guard itself, tests/posix).
class SimulateOnATerminalTest : public testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) GTEST_SKIP();
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0) GTEST_SKIP();
    tcgetattr(slave_, &before_);
  }
  void TearDown() override {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }

  // Starts the tool with the terminal as its standard input, output to files.
  pid_t Start(const std::vector<std::string>& args) {
    out_ = (dir_.path() / "out").string();
    err_ = (dir_.path() / "err").string();
    const pid_t pid = fork();
    if (pid == 0) {
      const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(slave_, 0);
      dup2(out, 1);
      dup2(err, 2);
      if (chdir(USBORVA_SOURCE_DIR) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(USBORVA_TOOL)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    return pid;
  }
  // Waits for what the output should hold (at most a few seconds).
  bool OutputHolds(const std::string& text) {
    for (int i = 0; i < 200; ++i) {
      if (ReadFile(out_).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  bool PutBack() {
    termios now{};
    tcgetattr(slave_, &now);
    return now.c_lflag == before_.c_lflag && now.c_iflag == before_.c_iflag;
  }
  bool Raw() {
    termios now{};
    tcgetattr(slave_, &now);
    return (now.c_lflag & (ICANON | ECHO)) == 0;
  }
  int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  int master_ = -1;
  int slave_ = -1;
  termios before_{};
  TempDir dir_;
  std::string out_;
  std::string err_;
};

TEST_F(SimulateOnATerminalTest, KeysActAsTypedAndQuitPutsTheTerminalBack) {
  const pid_t pid = Start({"simulate"});
  ASSERT_TRUE(OutputHolds("Keys (no Enter needed):")) << ReadFile(err_);
  EXPECT_TRUE(Raw());
  ASSERT_EQ(write(master_, "2", 1), 1);
  EXPECT_TRUE(OutputHolds("CardDataChanged"));
  ASSERT_EQ(write(master_, "\x03", 1), 1);  // Ctrl-C is a key here: quit
  const int status = Wait(pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(ReadFile(out_).find("(quit)"), std::string::npos);
  EXPECT_TRUE(PutBack());
}

TEST_F(SimulateOnATerminalTest, VirtualTimeIsRefusedForTypedKeys) {
  const int status = Wait(Start({"simulate", "--virtual-time"}));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_NE(ReadFile(err_).find("keys typed on a terminal come in real time"), std::string::npos);
  EXPECT_TRUE(PutBack());
}

}  // namespace
}  // namespace usborva::cli_test
