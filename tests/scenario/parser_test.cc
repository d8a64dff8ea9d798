// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

struct BadScenario {
  const char* text;
  int line;
  int column;
  const char* message_part;
};

class ParserErrorTest : public testing::TestWithParam<BadScenario> {};

TEST_P(ParserErrorTest, NamesLineColumnAndCause) {
  const BadScenario& bad = GetParam();
  try {
    ParseScenario(bad.text, "t.scn");
    FAIL() << "accepted: " << bad.text;
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), bad.line) << error.what();
    EXPECT_EQ(error.column(), bad.column) << error.what();
    EXPECT_NE(error.message().find(bad.message_part), std::string::npos) << error.what();
    EXPECT_EQ(std::string(error.what()).rfind("t.scn:" + std::to_string(bad.line) + ":", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParserErrorTest,
    testing::Values(
        BadScenario{"vendor 0x1FFFF", 1, 8, "out of range"},
        BadScenario{"vendor", 1, 7, "too few values"},
        BadScenario{"vendor 1 2", 1, 10, "too many values"},
        BadScenario{"# comment\n\n  wait 250", 3, 8, "give the unit"},
        BadScenario{"wait 25h", 1, 6, "at most a day"},
        BadScenario{"wait 90m", 1, 6, "length of time"},
        BadScenario{"wait 86400.001s", 1, 6, "at most a day"},
        BadScenario{"swpie", 1, 1, "did you mean 'swipe'"},
        BadScenario{"wait 1s\nvendor 1", 2, 1, "began on line 1"},
        BadScenario{"note \"abc", 1, 6, "unterminated"},
        BadScenario{"note \"a\\qb\"", 1, 8, "unknown escape"},
        BadScenario{"note \"\\x4\"", 1, 7, "two hexadecimal digits"},
        BadScenario{"plug", 1, 1, "already plugged in"},
        BadScenario{"unplug\nunplug", 2, 1, "already unplugged"},
        BadScenario{"repeat 2\nwait 1s", 1, 1, "not closed"},
        BadScenario{"end", 1, 1, "without a 'repeat'"},
        BadScenario{"repeat 2\nunplug\nend", 3, 1, "as it found it"},
        BadScenario{"repeat 10001\nend", 1, 8, "out of range"},
        BadScenario{"pin-response 0 FFFF 0011223344556677", 1, 16, "10 bytes"},
        BadScenario{"pin-response 0 00112233445566778899 0G11223344556677", 1, 37, "hexadecimal"},
        BadScenario{"swipe track1", 1, 13, "needs a value"},
        BadScenario{"swipe ksn 00112233445566778899 ksn 00112233445566778899", 1, 32, "twice"},
        BadScenario{"swipe colour red", 1, 7, "unknown field"},
        BadScenario{"swipe error 0", 1, 13, "out of range"},
        BadScenario{"swipe track1 \"caf\xC4\x8D\"", 1, 14, "cannot send"},
        BadScenario{"input-length 10\nswipe track1 \"1234567\"", 2, 14, "at most 6"},
        BadScenario{"input-length 4\nreport 20 01 02 03 04", 2, 8, "input reports are 4"},
        BadScenario{"report 20 01 \\\n  02 zz", 2, 6, "hexadecimal"},
        BadScenario{"report 20 1", 1, 11, "odd number"},
        BadScenario{"fault nope", 1, 7, "unknown fault"},
        BadScenario{"fault open maybe", 1, 12, "on or off"},
        BadScenario{"config 01 02", 1, 8, "8 bytes"},
        BadScenario{"device-status 1 2", 1, 18, "too few values"},
        BadScenario{"device-status 1 2 256", 1, 19, "out of range"},
        BadScenario{"\"vendor\" 1", 1, 1, "directive"},
        BadScenario{"repeat 10000\nrepeat 10000\nwait 1ms\nend\nend", 5, 1, "more than"},
        BadScenario{"input-length 32767\nrepeat 300\nswipe\nend", 4, 1, "64 MiB"}));

TEST(ParserTest, DescriptionFillsTheTerminal) {
  Scenario s = ParseScenario(R"(
vendor 0x2A5C      # the maker
product 0x4C2B
input-length 64
feature-length 32
serial none
product-string "Counter \"B\""
firmware "3.1"
string 5 "extra"
pin-ksn FFFF000000000000AAAA
pin-label "PIN:"
auth-label "A1"
bitmap-crc 01 02 0304
config 0102030405060708
info-item 0x20 AA BB
info-item 0x10 none
feature-report 0x30 01 02
config-file "[Settings]\nUseConfigFile=TRUE\n"
fault get-feature
unplugged
)");
  EXPECT_EQ(s.terminal.vendor_id, 0x2A5C);
  EXPECT_EQ(s.terminal.product_id, 0x4C2B);
  EXPECT_EQ(s.terminal.input_report_length, 64);
  EXPECT_EQ(s.terminal.feature_report_length, 32);
  EXPECT_FALSE(s.terminal.serial_number.has_value());
  EXPECT_EQ(s.terminal.product_string, u"Counter \"B\"");
  EXPECT_EQ(s.terminal.indexed_strings.at(4), u"3.1");
  EXPECT_EQ(s.terminal.indexed_strings.at(5), u"extra");
  const auto& items = s.terminal.terminal.items;
  EXPECT_EQ(items.at(sim::kInfoPINKSN).size(), 20u);
  EXPECT_EQ(items.at(sim::kInfoPINLabel), (std::vector<uint8_t>{'P', 'I', 'N', ':', 0}));
  EXPECT_EQ(items.at(sim::kInfoAuthLabel), (std::vector<uint8_t>{'A', '1'}));
  EXPECT_EQ(items.count(sim::kInfoBitmapCRC), 0u);  // set, then removed by `none`
  EXPECT_EQ(items.at(0x20), (std::vector<uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(s.terminal.terminal.config[7], 0x08);
  EXPECT_EQ(s.terminal.terminal.fixed_reports.at(0x30), (std::vector<uint8_t>{0x30, 1, 2}));
  EXPECT_EQ(s.config_text, "[Settings]\nUseConfigFile=TRUE\n");
  EXPECT_EQ(s.faults, std::vector<sim::Fault>{sim::Fault::kGetFeature});
  EXPECT_FALSE(s.starts_plugged);
  EXPECT_TRUE(s.steps.empty());
}

TEST(ParserTest, AnEmptyScenarioIsTheDefaultTerminalWithNoConfigurationFile) {
  Scenario s = ParseScenario("", "empty");
  EXPECT_EQ(s.source, "empty");
  EXPECT_EQ(s.terminal.vendor_id, sim::InterfaceSpec().vendor_id);
  EXPECT_FALSE(s.config_text.has_value());
  EXPECT_TRUE(s.starts_plugged);
  EXPECT_EQ(s.Length().count(), 0);
}

TEST(ParserTest, RepeatBlocksNestAndContinuationLinesJoin) {
  Scenario s = ParseScenario(R"(repeat 3
  wait 1.5s
  repeat 2
    report 20 \
       01 02 03
  end
end
repeat 0
  wait 1s
end
fault read-file off
note Card   "is here")");
  // 3 x (wait + 2 reports), then the fault and the note.
  ASSERT_EQ(s.steps.size(), 11u);
  EXPECT_EQ(s.Length(), Milliseconds(4500));
  EXPECT_EQ(s.steps[1].kind, StepKind::kReports);
  EXPECT_EQ(s.steps[1].reports.at(0)[3], 0x03);
  EXPECT_EQ(s.steps[1].line, 4);
  EXPECT_EQ(s.steps[9].kind, StepKind::kFault);
  EXPECT_FALSE(s.steps[9].fault_on);
  EXPECT_EQ(s.steps[10].text, "Card is here");
}

TEST(ParserTest, DurationsRoundToWholeMilliseconds) {
  Scenario s = ParseScenario(
      "wait 250ms\nwait 0.0004s\nwait 0.0015s\nwait 2s\nwait 0ms\nwait 1.5min\nwait 24h");
  ASSERT_EQ(s.steps.size(), 7u);
  EXPECT_EQ(s.steps[5].wait, Milliseconds(90000));
  EXPECT_EQ(s.steps[6].wait, std::chrono::hours(24));
  EXPECT_EQ(s.steps[0].wait, Milliseconds(250));
  EXPECT_EQ(s.steps[1].wait, Milliseconds(0));
  EXPECT_EQ(s.steps[2].wait, Milliseconds(2));
  EXPECT_EQ(s.steps[3].wait, Milliseconds(2000));
}

TEST(ParserTest, TheBuiltInDemoParses) {
  Scenario s = DemoScenario();
  EXPECT_EQ(s.source, kDemoScenarioName);
  EXPECT_GT(s.steps.size(), 10u);
  EXPECT_LE(s.Length(), Milliseconds(6000));
}

TEST(ParserTest, MissingFileIsAnErrorWithoutPlace) {
  try {
    LoadScenario("/nonexistent/x.scn");
    FAIL();
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), 0);
    EXPECT_NE(std::string(error.what()).find("/nonexistent/x.scn: cannot open"), std::string::npos);
  }
}

}  // namespace
}  // namespace usborva::scenario
