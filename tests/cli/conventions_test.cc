// SPDX-License-Identifier: Apache-2.0
// The tool as a command-line user expects it: suggestions for mistypes, version and help
// forms, settings exit codes, JSON lines and errors, send's decoding, padding by width.
#include <gtest/gtest.h>

#include <regex>

#include "report_layout.h"
#include "text.h"
#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

struct MistypeCase {
  std::vector<std::string> args;
  const char* err_part;
};

class MistypeTest : public testing::TestWithParam<MistypeCase> {};

TEST_P(MistypeTest, SaysWhatWasMeant) {
  const RunResult result = RunTool(GetParam().args);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find(GetParam().err_part), std::string::npos) << result.err;
  // Only a --json run repeats the error on standard output.
  if (GetParam().args[0] != "--json") {
    EXPECT_EQ(result.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Usage, MistypeTest,
    testing::Values(MistypeCase{{"moniter"}, "unknown command 'moniter'; did you mean 'monitor'?"},
                    MistypeCase{{"hlep"}, "did you mean 'help'?"},
                    MistypeCase{{"help", "sned"}, "did you mean 'send'?"},
                    MistypeCase{{"monitor", "--jsno"}, "did you mean '--json'?"},
                    MistypeCase{{"card", "trak", "0"}, "did you mean 'track'?"},
                    MistypeCase{{"--json", "demo"},
                                "options go after the command: usborva demo --json"},
                    MistypeCase{{"--verison"}, "did you mean '--version'?"},
                    // Nothing close: no suggestion at all.
                    MistypeCase{{"xyzzyplugh"}, "unknown command 'xyzzyplugh'\n"}));

TEST(VersionTest, EveryFormSaysTheSameAndWhereFilesAre) {
  TempDir config;
  RunOptions options;
  options.env = {{"XDG_CONFIG_HOME", config.path().string()}, {"USBORVA_CONFIG_DIR", "/opt/x"}};
  const RunResult version = RunTool({"--version"}, options);
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("usborva ", 0), 0u);
  EXPECT_TRUE(std::regex_search(version.out, std::regex("\nrevision: [0-9a-z]+\n"))) << version.out;
  EXPECT_NE(version.out.find("\nbackends: simulated"), std::string::npos);
  EXPECT_NE(version.out.find("\nconfiguration: /opt/x\n"), std::string::npos);
  EXPECT_NE(version.out.find("\nsettings: " + config.path().string() + "/USBHID/settings.ini\n"),
            std::string::npos)
      << version.out;
  for (std::vector<std::string> form : {std::vector<std::string>{"-V"}, {"version"}}) {
    const RunResult other = RunTool(form, options);
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.out, version.out);
  }
  const RunResult help = RunTool({"help", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: usborva help [COMMAND]", 0), 0u) << help.out;
}

class SettingsFileTest : public testing::Test {
 protected:
  SettingsFileTest() { options_.env = {{"XDG_CONFIG_HOME", config_.path().string()}}; }
  RunResult Run(const std::vector<std::string>& args) { return RunTool(args, options_); }
  std::string File() const { return config_.path().string() + "/USBHID/settings.ini"; }

  TempDir config_;
  RunOptions options_;
};

TEST_F(SettingsFileTest, AbsentKeyIsStatusOneUnlessADefaultIsGiven) {
  const RunResult missing = Run({"settings", "get", "ComPort"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(Run({"settings", "get", "ComPort", "7"}).out, "7\n");
  ASSERT_EQ(Run({"settings", "set", "ComPort", ""}).status, 0);
  // Present but empty is not absent.
  const RunResult empty = Run({"settings", "get", "comport"});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "\n");
  const RunResult no_key = Run({"settings", "set", "", "x"});
  EXPECT_EQ(no_key.status, 2);
  EXPECT_NE(no_key.err.find("KEY is empty"), std::string::npos) << no_key.err;
}

TEST_F(SettingsFileTest, ListShowsEachKeyOnceAsTheReaderSeesIt) {
  std::filesystem::create_directories(config_.path() / "USBHID");
  WriteFile(File(),
            "[Other]\nHidden = 1\n[Startup]\nComPort = \"3\"\n\"two words\" = \"a\\tb\"\n"
            "broken line\nCOMPORT = \"9\"\n[startup]\nLast = plain\n");
  const RunResult list = Run({"settings", "list"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "ComPort = 3\ntwo words = a\\x09b\nLast = plain\n");
  const RunResult json = Run({"settings", "list", "--json"});
  EXPECT_NE(json.out.find("{\"schema\":1,\"type\":\"setting\",\"key\":\"two words\",\"value\":"
                          "\"a\\tb\"}\n"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(Run({"settings", "path"}).out, File() + "\n");
}

TEST(CardTrackTest, TracksOneToThreeSayWhereTheDataIs) {
  RunOptions options;
  options.input = "%B4111111111111111^DOE/JOHN^2512101?";
  const RunResult one = RunTool({"card", "track", "1"}, options);
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, "\n");
  EXPECT_NE(one.err.find("track 1 is always empty"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find("card info"), std::string::npos);
  const RunResult zero = RunTool({"card", "track", "0", "--json"}, options);
  EXPECT_EQ(zero.err, "");
  EXPECT_EQ(zero.out,
            "{\"schema\":1,\"type\":\"track\",\"track\":0,\"masked\":false,\"text\":"
            "\"%B411111******1111^DOE/JOHN^2512101?\"}\n");
  const RunResult help = RunTool({"card", "track", "2", "--help"});
  EXPECT_NE(help.out.find("tracks 1, 2 and 3 always come back empty"), std::string::npos);
}

TEST(JsonErrorTest, AFailedJsonRunSaysWhyOnStandardOutput) {
  const RunResult usage = RunTool({"monitor", "--json", "--simulate", "no/such.scn"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("cannot open"), std::string::npos);
  EXPECT_TRUE(std::regex_match(
      usage.out, std::regex("\\{\"schema\":1,\"type\":\"error\",\"status\":2,\"message\":\"usborva "
                            "monitor: scenario no/such.scn: cannot open[^\n]*\"\\}\n")))
      << usage.out;
  const RunResult refused = RunTool({"send", "--get", "0E", "--json", "--simulate",
                                     std::string(USBORVA_CLI_TEST_DIR) + "/data/no_features.scn"});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.out.find("\"status\":4,\"message\":\"usborva: GetFeatureReport 0E: the "
                             "terminal did not accept"),
            std::string::npos)
      << refused.out;
  // Without --json, standard output stays clean.
  EXPECT_EQ(RunTool({"monitor", "--simulate", "no/such.scn"}).out, "");
}

TEST(MonitorJsonTest, EveryLineCarriesTheSchemaAndAnIsoTime) {
  const RunResult live = RunTool(
      {"monitor", "--simulate", "examples/normal_swipe.scn", "--json", "--duration", "0.3"});
  const std::regex line(
      "\\{\"schema\":1,\"type\":\"[a-z]+\",\"time_ms\":[0-9]+,\"time\":\"20[0-9]{2}-[0-9]{2}-"
      "[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z\".*");
  std::istringstream lines(live.out);
  int count = 0;
  for (std::string text; std::getline(lines, text); ++count) {
    EXPECT_TRUE(std::regex_match(text, line)) << text;
  }
  EXPECT_GT(count, 0) << live.err;
}

TEST(SendTest, ExplainsTheResultDecodesAndWarnsOfALoneItemGet) {
  const RunResult both = RunTool({"send", "--set", "0E 10", "--get", "0E", "--simulate"});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.out.find("Data        12 34 56 78\nResult      1 (the terminal accepted"),
            std::string::npos)
      << both.out;
  EXPECT_EQ(both.err.find("warning"), std::string::npos);
  const RunResult lone = RunTool({"send", "--get", "0E 10", "--simulate"});
  EXPECT_NE(lone.err.find("a Get carries only the report ID"), std::string::npos) << lone.err;
  EXPECT_NE(lone.err.find("--set \"0E 10\" --get 0E"), std::string::npos);
}

TEST(ReportLayoutTest, DecodesTheItemAndConfigurationLayoutsWithinTheAnswer) {
  using cli::DecodeOutPutData;
  EXPECT_EQ(DecodeOutPutData("0E 10 00 02 41 42 43")->bytes, "41 42");
  // A length past the end keeps to the bytes there are.
  EXPECT_EQ(DecodeOutPutData("0e 10 00 ff 41")->bytes, "41");
  EXPECT_EQ(DecodeOutPutData("0E 10 00 00")->bytes, "");
  EXPECT_EQ(DecodeOutPutData("09 01 02 03 04 05 06 07 08 09 0A")->label, "Configuration");
  EXPECT_EQ(DecodeOutPutData("09 01 02 03 04 05 06 07 08 09 0A")->bytes, "01 02 03 04 05 06 07 08");
  EXPECT_FALSE(DecodeOutPutData("0E 10"));
  EXPECT_FALSE(DecodeOutPutData("05 01 02 03"));
  EXPECT_FALSE(DecodeOutPutData("0E 10 00 zz"));
  EXPECT_FALSE(DecodeOutPutData(""));
}

TEST(DisplayWidthTest, PadsByColumnsAsTheTerminalShowsThem) {
  EXPECT_EQ(cli::DisplayWidth("abc"), 3u);
  EXPECT_EQ(cli::DisplayWidth("\xE6\x97\xA5\xE6\x9C\xAC"), 4u);  // two CJK ideographs
  EXPECT_EQ(cli::DisplayWidth("e\xCC\x81"), 1u);                 // e + combining acute
  EXPECT_EQ(cli::DisplayWidth("a\xE2\x80\x8B"), 7u);             // zero-width space, escaped
  EXPECT_EQ(cli::Padded("\xE6\x97\xA5", 4), "\xE6\x97\xA5  ");
}

TEST(SimulateTest, AFolderIsNotAScenario) {
  const RunResult result = RunTool({"monitor", "--simulate", "examples"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("examples: is a directory"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace usborva::cli_test
