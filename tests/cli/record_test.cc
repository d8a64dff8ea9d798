// SPDX-License-Identifier: Apache-2.0
// `usborva monitor --record`: a recorded simulated session replays exactly (every example
// and every corpus scenario that plays), a recording is safe to share unless --reveal,
// and the file is refused, written and replaced as a private file should be.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <iostream>
#include <regex>
#include <set>
#include <thread>

#include "recording_builder.h"
#include "recording_sanitizer.h"
#include "tool_runner.h"
#include "usborva/protocol.h"
#include "usborva/scenario.h"
#include "usborva/scenario_writer.h"
#include "usborva/test_cards.h"
#include "usborva_test/scenario_behaviour.h"

namespace usborva::cli_test {
namespace {

namespace fs = std::filesystem;

// A run that takes longer than this (a scenario of days in virtual time) is left out.
constexpr const char* kRunLimitSeconds = "20";

// The tool under `timeout`, so a scenario that runs for ever in virtual time is cut short
// (status 124 or 137) instead of stalling the suite.
RunResult RunLimited(std::vector<std::string> args) {
  if (!fs::exists("/usr/bin/timeout")) return RunTool(args);
  args.insert(args.begin(), {"-s", "KILL", kRunLimitSeconds, USBORVA_TOOL});
  RunOptions options;
  options.program = "/usr/bin/timeout";
  return RunTool(args, options);
}

std::vector<std::string> Monitor(const std::string& scenario, std::vector<std::string> more) {
  std::vector<std::string> args = {"monitor", "--simulate", scenario, "--virtual-time", "--json"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<fs::path> PlayableCandidates() { return test::ScenarioFiles(USBORVA_SOURCE_DIR); }

// Recording a session and playing the recording gives the same event stream, line for line
// and millisecond for millisecond (the JSON lines name no file: "terminal" is "simulated").
TEST(RecordTest, ARecordedSessionReplaysExactly) {
  TempDir dir;
  size_t covered = 0;
  std::vector<std::string> skipped;
  for (const fs::path& file : PlayableCandidates()) {
    const std::string recording = (dir.path() / (file.filename().string() + ".rec.scn")).string();
    const RunResult original =
        RunLimited(Monitor(file.string(), {"--reveal", "--record", recording}));
    if (original.status != 0) {
      skipped.push_back(file.filename().string());  // does not parse, or plays too long
      continue;
    }
    const RunResult replay = RunLimited(Monitor(recording, {"--reveal"}));
    ASSERT_EQ(replay.status, 0) << file << ": " << replay.err << ReadFile(recording);
    EXPECT_EQ(replay.out, original.out) << file << ":\n" << ReadFile(recording);
    ++covered;
  }
  std::cout << "[ record  ] " << covered << " scenarios replayed exactly; skipped "
            << skipped.size() << " that do not play:";
  for (const std::string& name : skipped) std::cout << " " << name;
  std::cout << "\n";
  EXPECT_GE(covered, 13u);
}

// Bursts larger than the driver's queue, under either platform's queue: the dropped
// reports come back as stand-ins the replay's queue drops in the same place, also when an
// unplug empties the queue early.
TEST(RecordTest, OverflowingBurstsReplayExactly) {
  TempDir dir;
  const std::pair<std::string, int> kQueues[] = {{"windows", 40}, {"linux", 70}};
  for (const auto& [queue, burst_size] : kQueues)
    for (bool unplug : {false, true}) {
      SCOPED_TRACE(queue + (unplug ? ", unplugged" : ""));
      std::string text = "queue " + queue + "\nwait 100ms\n";
      for (int i = 1; i <= burst_size; ++i) text += "device-status " + std::to_string(i) + " 0 0\n";
      text += unplug ? "wait 300ms\nunplug\nwait 200ms\nplug\nwait 100ms\ndevice-status 7 7 7\n"
                     : "wait 2s\n";
      const fs::path burst = dir.path() / "burst.scn";
      const fs::path recording = dir.path() / "burst.rec.scn";
      WriteFile(burst, text);
      const RunResult original = RunTool(Monitor(burst.string(), {"--record", recording.string()}));
      ASSERT_EQ(original.status, 0) << original.err;
      const RunResult replay = RunTool(Monitor(recording.string(), {}));
      EXPECT_EQ(replay.out, original.out) << ReadFile(recording);
      EXPECT_NE(ReadFile(recording).find("# the driver dropped 7 reports here"), std::string::npos);
    }
}

std::string CardScenario(const std::string& pan, const std::string& name) {
  return "wait 100ms\nswipe track1 \"%B" + pan + "^" + name +
         "^2512101123456789ABC?\" \\\n"
         "  track2 \";" +
         pan +
         "=25121011234567890?\" track3 \"not a card track\" \\\n"
         "  enc-track1 A1B2C3D4E5F60718 enc-track3 99887766 sigil 5A5A5A \\\n"
         "  ksn FFFF9876543210E00123 sigil-status 1000 card-status 0 1 1\n"
         "wait 300ms\npin-response 0 FFFF9876543210E00124 7C3B19E0A45D82F6\nwait 300ms\n";
}

struct Seen {
  std::vector<std::string> events;
  std::map<std::string, std::vector<size_t>> lengths;  // by field, in order
  std::vector<std::string> pans;
};

Seen Observe(const std::string& json) {
  Seen seen;
  static const std::regex kEvent("\"event\":\"([A-Za-z]+)\"");
  static const std::regex kField(
      "\"(Track[123]Data|EncTrack[123]Data|SigilData|EPB|DUKPTKSN|KSN|pan)\":\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), kEvent);
       it != std::sregex_iterator(); ++it) {
    seen.events.push_back((*it)[1]);
  }
  for (auto it = std::sregex_iterator(json.begin(), json.end(), kField);
       it != std::sregex_iterator(); ++it) {
    seen.lengths[(*it)[1]].push_back((*it)[2].length());
    if ((*it)[1] == "pan") seen.pans.push_back((*it)[2]);
  }
  return seen;
}

// A shared recording holds no card data, and still plays as the same kinds of events with
// the same lengths; the KSNs stay.
TEST(RecordTest, ARecordingIsSanitizedUnlessRevealed) {
  TempDir dir;
  const std::string pan = "5500005555555559";
  WriteFile(dir.path() / "card.scn", CardScenario(pan, "SMITH/JANE Q"));
  const std::string card = (dir.path() / "card.scn").string();
  const std::string recording = (dir.path() / "card.rec.scn").string();
  const RunResult original = RunTool(Monitor(card, {"--reveal"}));
  const RunResult recorded = RunTool(Monitor(card, {"--record", recording}));
  ASSERT_EQ(recorded.status, 0) << recorded.err;
  EXPECT_EQ(recorded.err, "") << "a sanitized recording needs no warning";
  const std::string text = ReadFile(recording);
  for (const std::string& secret :
       {pan, std::string("555555"), std::string("SMITH"), std::string("JANE"),
        std::string("123456789"), std::string("ABC?"), std::string("not a card"),
        std::string("7C3B19E0A45D82F6"), std::string("A1B2C3D4E5F60718"), std::string("99887766"),
        std::string("5A5A5A")}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << secret << " in\n" << text;
  }
  EXPECT_NE(text.find("FFFF9876543210E00123"), std::string::npos);
  EXPECT_NE(text.find("FFFF9876543210E00124"), std::string::npos);
  EXPECT_NE(text.find("# Sanitized:"), std::string::npos);

  const RunResult replay = RunTool(Monitor(recording, {"--reveal"}));
  ASSERT_EQ(replay.status, 0) << replay.err;
  const Seen before = Observe(original.out);
  const Seen after = Observe(replay.out);
  EXPECT_EQ(after.events, before.events);
  EXPECT_EQ(after.lengths, before.lengths);
  ASSERT_FALSE(after.pans.empty());
  for (const std::string& shown : after.pans) {
    EXPECT_EQ(shown, TestPan(pan.size()));
  }
}

TEST(RecordTest, RevealKeepsTheDataAndSaysSoOnce) {
  TempDir dir;
  WriteFile(dir.path() / "card.scn", CardScenario("5500005555555559", "SMITH/JANE Q"));
  const std::string recording = (dir.path() / "card.rec.scn").string();
  const RunResult run =
      RunTool(Monitor((dir.path() / "card.scn").string(), {"--reveal", "--record", recording}));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = ReadFile(recording);
  EXPECT_NE(text.find("%B5500005555555559^SMITH/JANE Q^2512101123456789ABC?"), std::string::npos);
  EXPECT_NE(text.find("7C3B19E0A45D82F6"), std::string::npos);
  EXPECT_NE(text.find("# REVEALED (--reveal)"), std::string::npos);
  const std::string warning = "the recording " + recording + " keeps the card data";
  EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(warning), run.err.rfind(warning));
}

TEST(RecordTest, TheFileIsPrivateAndReplacedWhole) {
  TempDir dir;
  const fs::path recording = dir.path() / "out.scn";
  WriteFile(recording, "an older file\n");
  chmod(recording.c_str(), 0644);
  const RunResult run =
      RunTool(Monitor("examples/normal_swipe.scn", {"--record", recording.string()}));
  ASSERT_EQ(run.status, 0) << run.err;
  struct stat info {};
  ASSERT_EQ(stat(recording.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string text = ReadFile(recording);
  EXPECT_EQ(text.rfind("# Recorded by usborva ", 0), 0u) << text;
  EXPECT_EQ(text.find("an older file"), std::string::npos);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(RecordTest, PlacesItCannotWriteAreRefusedBeforeTheRun) {
  TempDir dir;
  struct Case {
    std::string path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"-", "--record -: a recording goes to a file"},
      {"", "--record needs a file name"},
      {dir.path().string(), "is a folder; give a file name in it"},
      {(dir.path() / "missing" / "x.scn").string(), "No such file or directory"},
      {"/dev/null", "is not a regular file"},
  };
  for (const Case& bad : cases) {
    const RunResult run = RunTool(Monitor("examples/normal_swipe.scn", {"--record", bad.path}));
    EXPECT_EQ(run.status, 2) << bad.path;
    EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("\"type\":\"open\""), std::string::npos) << "the run started";
  }
  const RunResult no_value = RunTool({"monitor", "--simulate", "--record"});
  EXPECT_EQ(no_value.status, 2);
}

TEST(RecordTest, AFolderThisUserCannotWriteIsRefusedBeforeTheRun) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run the tool as another user";
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  chmod(locked.c_str(), 0755);  // root's: nobody may not create files in it
  RunOptions options;
  const RunResult run =
      Child({"monitor", "--simulate", "--virtual-time", "--record", (locked / "x.scn").string()},
            options, /*drop_root=*/true)
          .Wait();
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("cannot create a file in"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
}

// A write that fails at the end: a clear message and status 4, and the monitor's report
// as it would have been.
TEST(RecordTest, AFailedWriteIsAnErrorThatLeavesTheReportAlone) {
  TempDir dir;
  const std::string too_long = (dir.path() / (std::string(300, 'r') + ".scn")).string();
  const RunResult plain = RunTool(Monitor("examples/normal_swipe.scn", {}));
  const RunResult run = RunTool(Monitor("examples/normal_swipe.scn", {"--record", too_long}));
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.err.find("usborva: the recording was not written:"), std::string::npos) << run.err;
  // The report as it would have been; a --json run then says why it failed, as always.
  ASSERT_EQ(run.out.rfind(plain.out, 0), 0u) << run.out;
  EXPECT_EQ(
      run.out.substr(plain.out.size()).rfind("{\"schema\":1,\"type\":\"error\",\"status\":4,", 0),
      0u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

// A run ended by --duration or by Ctrl-C is recorded up to its end.
TEST(RecordTest, RunsThatEndEarlyAreRecordedToTheirEnd) {
  TempDir dir;
  const fs::path long_run = dir.path() / "long.scn";
  WriteFile(long_run, "wait 200ms\ndevice-status 1 0 0\nwait 1h\n");
  const fs::path by_duration = dir.path() / "duration.scn";
  const RunResult timed =
      RunTool(Monitor(long_run.string(), {"--duration", "0.5", "--record", by_duration.string()}));
  ASSERT_EQ(timed.status, 0) << timed.err;
  const scenario::Scenario short_run = scenario::LoadScenario(by_duration.string());
  EXPECT_EQ(short_run.Length(), std::chrono::milliseconds(500));

  const fs::path by_signal = dir.path() / "signal.scn";
  RunOptions options;
  Child child(
      {"monitor", "--simulate", long_run.string(), "--json", "--record", by_signal.string()},
      options);
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  child.Signal(SIGINT);
  const RunResult interrupted = child.Wait();
  ASSERT_EQ(interrupted.status, 0) << interrupted.err;
  EXPECT_NE(interrupted.out.find("\"reason\":\"interrupted\""), std::string::npos);
  const std::string text = ReadFile(by_signal);
  // Real time: the report lands on the poll before the one that took it, near 200 ms.
  EXPECT_NE(text.find("ms\ndevice-status 1 0 0\nwait "), std::string::npos) << text;
  EXPECT_GE(scenario::ParseScenario(text).Length(), std::chrono::milliseconds(800));
}

TEST(RecordTest, NothingIsRecordedWhenThePortStaysClosed) {
  TempDir dir;
  const fs::path absent = dir.path() / "absent.scn";
  WriteFile(absent, "unplugged\nwait 1s\n");
  const fs::path recording = dir.path() / "out.scn";
  const RunResult run = RunTool(Monitor(absent.string(), {"--record", recording.string()}));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("nothing recorded to"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(recording));
}

// A recording longer than a scenario may be stops where it reaches the limit, says when,
// and still reads as a scenario.
TEST(RecordingBuilderTest, ARecordingPastTheLimitsStopsAndStillReads) {
  cli::RecordingBuilder builder(cli::RecordingBuilder::Options{});
  builder.Start();
  for (int i = 1; i <= 60000; ++i) {
    const std::chrono::milliseconds poll(50 * i);
    builder.ReadWaiting(poll);
    const std::vector<uint8_t> report = {protocol::kReportDeviceStatus, static_cast<uint8_t>(i), 0,
                                         0};
    builder.Report(poll + std::chrono::milliseconds(25), report, false, 0);
  }
  const scenario::Scenario recorded = builder.Finish(std::chrono::hours(2));
  ASSERT_TRUE(builder.stopped_at().has_value());
  EXPECT_EQ(recorded.Length(), *builder.stopped_at());
  const std::string text = scenario::WriteScenario(recorded);
  EXPECT_LE(text.size(), scenario::kMaxScenarioBytes);
  const scenario::Scenario back = scenario::ParseScenario(text);
  EXPECT_EQ(back.Length(), recorded.Length());
  EXPECT_GT(back.steps.size(), scenario::kMaxSteps / 2);
}

// --- The sanitizer on its own: the shape of every track kept, nothing of its data.

bool LuhnValid(const std::string& digits) {
  return LuhnCheckDigit(std::string_view(digits).substr(0, digits.size() - 1)) == digits.back();
}

TEST(RecordingSanitizerTest, TracksKeepTheirShape) {
  using cli::SyntheticTrack;
  EXPECT_EQ(SyntheticTrack("%B5500 0055 5555 5559^SMITH/JANE Q.MR^2512101123ABC?", 1),
            "%B4111 1111 1111 1111^TEST/CARDHOLDER^2512101000000?");
  EXPECT_EQ(SyntheticTrack("%B378282246310005^DOE/J^29091011234?X", 1),
            "%B" + TestPan(15) + "^TEST/^29091010000?0");
  EXPECT_EQ(SyntheticTrack(";5500005555555559=2512101123456?", 2),
            ";4111111111111111=2512101000000?");
  EXPECT_EQ(SyntheticTrack(";5500005555555559==?", 2), ";4111111111111111==?");
  EXPECT_EQ(SyntheticTrack(";015500005555555559=724724100000000000030300XXXX?", 3),
            ";41111111111111111" + std::string(1, LuhnCheckDigit("41111111111111111")) +
                "=7247241000000000000000000000?");
  EXPECT_EQ(SyntheticTrack(";015500005555555555912=7247?", 3), ";01" + TestPan(19) + "=7247?");
  // Not a card: its length, nothing else.
  for (const auto& [track, type] :
       std::vector<std::pair<std::string, uint8_t>>{{"%B55000055555^SHORT/PAN^2512?", 1},
                                                    {"%B5500005555555559 SMITH/JANE", 1},
                                                    {"5500005555555559=2512", 2},
                                                    {";55000055x5555559=2512?", 2},
                                                    {"hello", 3}}) {
    EXPECT_EQ(SyntheticTrack(track, type), std::string(track.size(), '0')) << track;
  }
  const std::string synthetic = SyntheticTrack(";6011000990139424=2512101?", 2);
  EXPECT_TRUE(LuhnValid(synthetic.substr(1, 16)));
}

TEST(RecordingSanitizerTest, ReportsKeepIdsLengthsStatusesAndKsns) {
  std::vector<uint8_t> pin(64, 0xEE);
  pin[0] = protocol::kReportPINResponse;
  cli::SanitizeReport(pin);
  EXPECT_EQ(std::vector<uint8_t>(pin.begin() + 1, pin.begin() + 12), std::vector<uint8_t>(11, 0xEE))
      << "the status and KSN stay";
  EXPECT_TRUE(std::all_of(pin.begin() + 12, pin.end(), [](uint8_t b) { return b == 0; }));

  std::vector<uint8_t> enc = {protocol::kReportCardData,
                              protocol::kCardItemEncTrack2,
                              3,
                              4,
                              0xAB,
                              0xCD,
                              0xEF,
                              0x12,
                              0x34,
                              0x56};
  cli::SanitizeReport(enc);
  EXPECT_EQ(enc, (std::vector<uint8_t>{0x23, 5, 3, 4, 0, 0, 0, 0, 0, 0}));

  std::vector<uint8_t> end = {0x23, 99, 7, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0x10, 0, 0x55};
  cli::SanitizeReport(end);
  EXPECT_EQ(end.back(), 0);
  EXPECT_EQ(end[2], 7);
  EXPECT_EQ(end[13], 10);
  EXPECT_EQ(end[16], 0x10);

  // An item whose length byte says more than the report holds: what is there is cleaned.
  std::vector<uint8_t> cut = {0x23, 2, 0, 200, ';', '5', '5', '0', '0'};
  cli::SanitizeReport(cut);
  EXPECT_EQ(cut, (std::vector<uint8_t>{0x23, 2, 0, 200, '0', '0', '0', '0', '0'}));

  std::vector<uint8_t> unknown = {0x31, 1, 2, 3};
  cli::SanitizeReport(unknown);
  EXPECT_EQ(unknown, (std::vector<uint8_t>{0x31, 1, 2, 3}));
}

}  // namespace
}  // namespace usborva::cli_test
