// SPDX-License-Identifier: Apache-2.0
// Usage errors and exit codes, the card, settings, list and send commands.
#include <gtest/gtest.h>

#include "tool_runner.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/usborva.h"

namespace usborva::cli_test {
namespace {

struct ExitCase {
  std::vector<std::string> args;
  int status;
  const char* err_part;
};

class ExitCodeTest : public testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodeTest, StatusAndMessage) {
  RunOptions options;
  // No terminal on the native backend: the tool built on the machine with no devices.
  options.program = USBORVA_TOOL_NO_DEVICES;
  const RunResult result = RunTool(GetParam().args, options);
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_NE(result.err.find(GetParam().err_part), std::string::npos) << result.err;
}

const std::string kData = std::string(USBORVA_CLI_TEST_DIR) + "/data/";

INSTANTIATE_TEST_SUITE_P(
    Usage, ExitCodeTest,
    testing::Values(
        ExitCase{{}, 2, "usage: usborva COMMAND"},
        ExitCase{{"bogus"}, 2, "unknown command 'bogus'"},
        ExitCase{{"help", "bogus"}, 2, "unknown command"},
        ExitCase{{"monitor", "--bogus"}, 2, "usborva monitor: unknown option --bogus"},
        ExitCase{{"monitor", "-x"}, 2, "unknown option -x"},
        ExitCase{{"monitor", "extra"}, 2, "unexpected argument 'extra'"},
        ExitCase{{"monitor", "--duration", "soon"}, 2, "positive number of seconds"},
        ExitCase{{"monitor", "--duration"}, 2, "--duration needs a value"},
        ExitCase{{"monitor", "--json=yes"}, 2, "--json takes no value"},
        ExitCase{{"monitor", "--virtual-time"}, 2, "needs --simulate"},
        ExitCase{{"monitor", "--simulate", "no/such.scn"}, 2, "no/such.scn: cannot open"},
        ExitCase{{"monitor", "--simulate", kData + "bad.scn"}, 2, "bad.scn:3:17: "},
        ExitCase{{"send", "--simulate"}, 2, "give --get, --set, or both"},
        ExitCase{{"send", "--get", "0G", "--simulate"}, 2, "'G' at position 2"},
        ExitCase{{"send", "--get", " ", "--simulate"}, 2, "COMMAND is empty"},
        ExitCase{{"card"}, 2, "missing what to parse"},
        ExitCase{{"card", "swipe"}, 2, "unknown card subcommand"},
        ExitCase{{"card", "track", "--data", "x"}, 2, "missing arguments"},
        ExitCase{{"card", "track", "one", "--data", "x"}, 2, "N must be a whole number"},
        ExitCase{{"card", "track", "40000", "--data", "x"}, 2, "out of range"},
        ExitCase{{"card", "element", "1", "?", "0", "4", "--back", "--forward", "--data", "x"},
                 2,
                 "not both"},
        ExitCase{{"card", "track", "1", "--back", "--data", "x"}, 2, "belong to 'card element'"},
        ExitCase{{"card", "track", "1", "--reveal", "--data", "x"}, 2, "belong to 'card info'"},
        ExitCase{{"settings"}, 2, "get KEY"},
        ExitCase{{"settings", "set", "k"}, 2, "missing arguments"},
        // No terminal anywhere.
        ExitCase{{"monitor", "--duration", "0.1"}, 3, "no supported terminal"},
        ExitCase{{"send", "--get", "0E"}, 3, "no supported terminal"},
        ExitCase{{"list"}, 3, "no supported terminal"},
        ExitCase{{"monitor", "--simulate", kData + "other_vendor.scn"}, 3, "usborva list"},
        ExitCase{{"monitor", "--simulate", kData + "unplugged.scn"}, 3, "no supported"},
        ExitCase{{"list", "--simulate", kData + "other_vendor.scn"}, 3, "no supported"},
        // The terminal or the system fails.
        ExitCase{{"monitor", "--simulate", kData + "no_read_access.scn", "--virtual-time"},
                 4,
                 "permission denied"},
        ExitCase{{"list", "--simulate", kData + "no_read_access.scn"}, 4, "udev"},
        ExitCase{
            {"monitor", "--simulate", kData + "no_event.scn", "--virtual-time"}, 4, "read event"},
        ExitCase{
            {"send", "--get", "0E", "--simulate", kData + "no_features.scn"}, 4, "did not accept"},
        ExitCase{{"send", "--get", "0E", "--simulate", kData + "short_features.scn"},
                 2,
                 "reports hold 0"}));

TEST(HelpTest, EveryCommandHasHelp) {
  for (const char* command :
       {"demo", "monitor", "simulate", "list", "send", "card", "settings", "about", "help"}) {
    const RunResult help = RunTool({"help", command});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find(std::string("usage: usborva ") + command), std::string::npos);
    if (std::string(command) != "help") {
      EXPECT_EQ(RunTool({command, "--help"}).out, help.out) << command;
      EXPECT_EQ(RunTool({command, "-h"}).out, help.out) << command;
    }
  }
  EXPECT_EQ(RunTool({"--help"}).status, 0);
  const RunResult version = RunTool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("usborva ", 0), 0u);
}

TEST(AboutTest, ShowsTheAboutBox) {
  const RunResult about = RunTool({"about"});
  EXPECT_EQ(about.status, 0);
  EXPECT_NE(about.out.find("USBORVA"), std::string::npos);
}

// The card commands print exactly what the control's methods return.
class CardTest : public testing::Test {
 protected:
  CardTest() : host_(loop_), control_(host_) { control_.InitProperties(); }

  static constexpr char kCard[] =
      "%B4111111111111111^PUBLIC/JOHN Q.MR^2812101000000000000000?;4111111111111111=2812101?";
  EventLoop loop_;
  Host host_;
  USBORVA control_;
};

TEST_F(CardTest, SubcommandsPrintTheMethodResults) {
  control_.put_CardData(Utf8ToString(kCard));
  control_.put_CardDataMasked(u"%B411111******1111^PUBLIC/JOHN^2812?;411111******1111=2812?");
  struct Case {
    std::vector<std::string> args;
    String expected;
  };
  int16_t zero = 0, one = 1, four = 4, minus = -1;
  Variant back = Variant::FromBoolean(true);
  const std::vector<Case> cases = {
      {{"track", "0"}, Utf8ToString(kCard)},
      {{"track", "1"}, control_.GetTrack(one)},
      {{"track", "4"}, control_.GetTrack(four)},
      {{"track", "-1"}, control_.GetTrack(minus)},
      {{"track", "0", "--masked"}, control_.GetTrackMasked(zero)},
      {{"first-name"}, u"JOHN Q.MR"},
      {{"last-name"}, u"PUBLIC"},
      {{"last-name", "--masked"}, control_.GetLNameMasked()},
      {{"element", "0", "=", "0", "4"}, u"2812"},
      {{"element", "0", "^", "-2", "3"}, control_.FindElement(0, u"^", -2, u"3")},
      {{"element", "0", "?", "0", "4"}, u"0000"},  // "?" alone searches backward
      {{"element", "0", "?", "0", "4", "--forward"}, u";411"},
      {{"element", "0", "^", "0", "^", "--back"}, control_.FindElement(0, u"^", 0, u"^", back)},
      {{"element", "0", "=", "0", "4", "--masked"}, u"2812"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"card"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(),
                {"--data", kCard, "--masked-data", StringToUtf8(control_.get_CardDataMasked())});
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, StringToUtf8(c.expected) + "\n") << c.args[0] << " " << c.args[1];
  }
}

TEST_F(CardTest, StandardInputLosesOneTrailingNewline) {
  RunOptions options;
  options.input = std::string(kCard) + "\r\n";
  EXPECT_EQ(RunTool({"card", "last-name"}, options).out, "PUBLIC\n");
  options.input = "%BX^DOE/ANN^?\n\n";
  EXPECT_EQ(RunTool({"card", "first-name"}, options).out, "ANN\n");
  // With --masked the text goes where the masked method reads.
  options.input = "%BX^DOE/ANN^?";
  EXPECT_EQ(RunTool({"card", "last-name", "--masked"}, options).out, "DOE\n");
}

TEST_F(CardTest, InfoMasksUnlessRevealed) {
  const RunResult hidden = RunTool({"card", "info", "--data", kCard});
  EXPECT_EQ(hidden.status, 0);
  EXPECT_NE(hidden.out.find("411111******1111"), std::string::npos) << hidden.out;
  EXPECT_NE(hidden.out.find("JOHN Q PUBLIC"), std::string::npos);
  EXPECT_NE(hidden.out.find("12/28"), std::string::npos);
  EXPECT_NE(hidden.out.find("hidden (--reveal shows it)"), std::string::npos);
  EXPECT_EQ(hidden.out.find("4111111111111111"), std::string::npos);

  const RunResult json = RunTool({"card", "info", "--json", "--data", kCard});
  EXPECT_EQ(json.out,
            "{\"schema\":1,\"track1\":true,\"track2\":true,\"pan\":\"411111******1111\",\"pan_luhn_"
            "valid\":"
            "true,\"surname\":\"PUBLIC\",\"first_name\":\"JOHN\",\"middle_initial\":\"Q\","
            "\"title\":\"MR\",\"expiry\":\"2812\",\"service_code\":\"101\"}\n");

  const RunResult revealed = RunTool({"card", "info", "--json", "--reveal", "--data", kCard});
  EXPECT_NE(revealed.out.find("\"pan\":\"4111111111111111\""), std::string::npos);
  EXPECT_NE(revealed.out.find("\"track1_discretionary\":\"000000000000000\""), std::string::npos)
      << revealed.out;
  EXPECT_NE(revealed.err.find("warning"), std::string::npos);
}

TEST(SettingsTest, SaveAndReadBackInTheUsersConfigFolder) {
  TempDir config;
  RunOptions options;
  options.env = {{"XDG_CONFIG_HOME", config.path().string()}};
  // An absent key without a default: nothing printed, status 1.
  EXPECT_EQ(RunTool({"settings", "get", "Port"}, options).out, "");
  EXPECT_EQ(RunTool({"settings", "get", "Port", "COM3"}, options).out, "COM3\n");
  const RunResult saved = RunTool({"settings", "set", "Port", " hid = 1; \"x\""}, options);
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(RunTool({"settings", "get", "port", "COM3"}, options).out, " hid = 1; \"x\"\n");
  const auto file = config.path() / "USBHID" / "settings.ini";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(SettingsTest, AStoreThatCannotBeWrittenIsADeviceOrIoFailure) {
  TempDir config;
  WriteFile(config.path() / "USBHID", "a file where the folder should be");
  RunOptions options;
  options.env = {{"XDG_CONFIG_HOME", config.path().string()}};
  const RunResult result = RunTool({"settings", "set", "k", "v"}, options);
  EXPECT_EQ(result.status, 4);
  EXPECT_NE(result.err.find("usborva: "), std::string::npos);
}

TEST(ListTest, SaysWhyATerminalIsNotUsed) {
  struct Case {
    const char* scenario;
    const char* status;
  };
  const Case cases[] = {
      {"other_vendor.scn", "other vendor"},
      {"other_product.scn", "product not in the list"},
      {"config_refuses.scn", "refused by the configuration file ([PID_4C21] Active is not TRUE)"},
      {"no_read_access.scn",
       "supported, but cannot be opened for reading and writing "
       "(permission denied)"},
  };
  for (const Case& c : cases) {
    const RunResult result = RunTool({"list", "--simulate", kData + c.scenario});
    EXPECT_NE(result.out.find(c.status), std::string::npos) << c.scenario << "\n" << result.out;
  }
  const RunResult json = RunTool({"list", "--json", "--simulate", kData + "other_product.scn"});
  EXPECT_EQ(
      json.out,
      "{\"schema\":1,\"path\":\"\\\\\\\\?\\\\hid#vid_2a5c&pid_9999#sim0\",\"vendor_id\":\"2a5c\","
      "\"product_id\":\"9999\",\"product\":\"USB Payment Terminal\",\"serial\":null,"
      "\"supported\":false,\"openable\":false,\"reason\":\"product not in the list (a "
      "configuration file can add it)\"}\n"
      "{\"schema\":1,\"type\":\"error\",\"status\":3,\"message\":\"usborva: no supported "
      "terminal among the HID interfaces.\"}\n");
}

TEST(SendTest, PrintsOutPutDataAndTheResult) {
  const RunResult set = RunTool({"send", "--set", "0e 10", "--simulate", "--json", "--reveal"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out.rfind("{\"schema\":1,\"type\":\"exchange\",\"command\":\"0e "
                          "10\",\"method\":\"SetFeatureReport\",\"result\":1,"
                          "\"OutPutData\":\"0E 10 00 00",
                          0),
            0u)
      << set.out;
  const RunResult get = RunTool({"send", "--get", "09", "--simulate", "--reveal"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out.rfind("Get 09\nOutPutData  09 01 02 03 04 05 06 07 08 00", 0), 0u) << get.out;
  EXPECT_NE(get.out.find("\nResult      1 (the terminal accepted the report)\n"),
            std::string::npos);
}

TEST(SendTest, SetThenGetReadsTheAnswerTheSetSelected) {
  const RunResult both =
      RunTool({"send", "--get", "0E 10", "--set", "0E 10", "--simulate", "--reveal"});
  EXPECT_EQ(both.status, 0) << both.err;
  const size_t set = both.out.find("Set 0E 10\n");
  const size_t get = both.out.find("Get 0E 10\nOutPutData  0E 10 00 04 12 34 56 78 00");
  ASSERT_NE(set, std::string::npos) << both.out;
  ASSERT_NE(get, std::string::npos) << both.out;
  EXPECT_LT(set, get);
}

}  // namespace
}  // namespace usborva::cli_test
