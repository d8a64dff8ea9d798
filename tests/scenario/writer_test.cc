// SPDX-License-Identifier: Apache-2.0
// WriteScenario: what it writes reads back as a scenario that behaves exactly as the one
// written, for every example and every fuzz-corpus scenario that parses, and for the
// corners of the language the files do not reach.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "usborva/scenario.h"
#include "usborva/scenario_writer.h"
#include "usborva/utf8.h"
#include "usborva_test/scenario_behaviour.h"

namespace usborva::scenario {
namespace {

namespace fs = std::filesystem;

// Parse(Write(s)) behaves as s, and writing it again gives the same text.
void ExpectRoundTrip(const Scenario& original, const std::string& name) {
  const std::string text = WriteScenario(original);
  Scenario back;
  try {
    back = ParseScenario(text, name + " (written)");
  } catch (const ScenarioError& error) {
    FAIL() << name << ": the written text does not read: " << error.what() << "\n" << text;
  }
  EXPECT_EQ(test::TerminalDifference(original, back), std::nullopt) << name << "\n" << text;
  EXPECT_TRUE(test::Timeline(original) == test::Timeline(back)) << name << "\n" << text;
  EXPECT_EQ(WriteScenario(back), text) << name;
}

std::vector<fs::path> ScenarioFiles() { return test::ScenarioFiles(USBORVA_SOURCE_DIR); }

TEST(ScenarioWriterTest, EveryExampleAndCorpusScenarioReadsBackAlike) {
  size_t covered = 0;
  for (const fs::path& file : ScenarioFiles()) {
    Scenario parsed;
    try {
      parsed = LoadScenario(file.string());
    } catch (const ScenarioError&) {
      continue;  // the corpus holds broken files on purpose
    }
    ExpectRoundTrip(parsed, file.filename().string());
    ++covered;
  }
  EXPECT_GE(covered, 10u);
  ExpectRoundTrip(DemoScenario(), "demo");
}

TEST(ScenarioWriterTest, ReportsComeOutAsTheDirectivesThatBuildThem) {
  const Scenario s = ParseScenario(R"(wait 10ms
device-status 1 2 3
card-status 0 1 1
pin-response 0 FFFF9876543210E00011 7C3B19E0A45D82F6
select-response 0 2
display-done 0
swipe track1 "%B4111111111111111^PUBLIC/JOHN Q^2812101000?" enc-track2 0B2D \
      ksn FFFF9876543210E00007 sigil-status 1000 card-status 0 1 1
swipe error 2
report 21 00 FF
)");
  const std::string text = WriteScenario(s);
  for (const char* line :
       {"wait 10ms\ndevice-status 1 2 3\n", "card-status 0 1 1\n",
        "pin-response 0 FFFF9876543210E00011 7C3B19E0A45D82F6\n", "select-response 0 2\n",
        "display-done 0\n", "swipe track1 \"%B4111111111111111^PUBLIC/JOHN Q^2812101000?\"",
        "enc-track2 0B2D", "sigil-status 1000", "swipe ksn FFFF9876543210E00002 error 2\n",
        "report 2100FF\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " not in\n" << text;
  }
  ExpectRoundTrip(s, "directives");
}

// A report no directive builds exactly, or a swipe that is not sent as the directive sends
// one, keeps its bytes as raw report lines.
TEST(ScenarioWriterTest, ReportsNoDirectiveBuildsStayRaw) {
  const Scenario s = ParseScenario(R"(input-length 32
report 20 01 02 03 00 07
card-status 0 1 1
report 23 01 05 02 41 42
report 23 02
report 23 03
report 23 04
report 23 05
report 23 06
report 23 07
report 23 63 00 00 FF FF 98 76 54 32 10 E0 00 02 00 00 AB 00
wait 5ms
card-status 0 0 0
wait 1ms
report 23 01
report 23 02
report 23 03
report 23 04
report 23 05
report 23 06
report 23 07
report 23 63 00 00 FF FF 98 76 54 32 10 E0 00 02
report 00
)");
  const std::string text = WriteScenario(s);
  EXPECT_NE(text.find("report 200102030007\n"), std::string::npos) << text;
  EXPECT_NE(text.find("report 230105024142\n"), std::string::npos) << text;
  // The sigil status AB is no decimal numeral: the end item stays raw.
  EXPECT_NE(text.find("report 236300"), std::string::npos) << text;
  // The last swipe's card status went out alone, a millisecond early.
  EXPECT_NE(text.find("card-status 0 0 0\nwait 1ms\nreport 2301\n"), std::string::npos) << text;
  EXPECT_NE(text.find("report 00\n"), std::string::npos) << text;
  ExpectRoundTrip(s, "raw reports");
}

// What the file shows a person: valid UTF-8, no control character but the line ends, no
// character that hides or reorders text; what it reads back as: the very bytes.
TEST(ScenarioWriterTest, TextsKeepEveryByteAndShowNothingDeceptive) {
  const Scenario s = ParseScenario(R"(path "a\x01b\xFF\xC3\u202Ec"
serial "q\"\\\t\r\n\0"
product-string "caf\u00E9 \uD83D\uDCB3 \x9B"
firmware none
string 7 "x # y"
config-file "[Settings]\nUseConfigFile=TRUE\n# not a comment\r"
auth-label "\u20AC5"
wait 1ms
note "line\nbreak \x1B[31m red \u200B # \xE2\x80 end"
)");
  const std::string text = WriteScenario(s);
  for (size_t i = 0; i < text.size();) {
    const Utf8Step step = DecodeUtf8(text, i);
    ASSERT_TRUE(step.valid) << "byte " << i << " of\n" << text;
    EXPECT_TRUE(step.code_point >= 0x20 || step.code_point == '\n') << "at " << i;
    EXPECT_FALSE(step.code_point >= 0x80 && step.code_point <= 0x9F) << "at " << i;
    EXPECT_NE(step.code_point, 0x202Eu);
    EXPECT_NE(step.code_point, 0x200Bu);
    i += step.length;
  }
  EXPECT_NE(text.find("firmware none\nstring 7 \"x # y\"\n"), std::string::npos) << text;
  ExpectRoundTrip(s, "texts");
}

// A string of bytes that are no UTF-8 reads as one U+FFFD per byte; written back, each is
// one byte again, so the text stays within the limit it was read under.
TEST(ScenarioWriterTest, ReplacementCharactersTakeNoMoreRoomThanTheBytesTheyCameFrom) {
  const std::string text =
      "serial \"" + std::string(kMaxTextBytes, '\xFF') + "\"\nstring 9 \"\xEF\xBF\xBD\"\n";
  const Scenario s = ParseScenario(text);
  ASSERT_EQ(s.terminal.serial_number->size(), kMaxTextBytes);
  EXPECT_NE(WriteScenario(s).find("string 9 \"\\xFF\"\n"), std::string::npos);
  ExpectRoundTrip(s, "replacement characters");
}

TEST(ScenarioWriterTest, TheTerminalDescriptionComesBackFieldByField) {
  const Scenario s = ParseScenario(R"(vendor 0x1234
product 0x4C99
version 7
usage-page 1
usage 2
input-length 20
feature-length 0
serial none
info-item 0x02 none
info-item 0x20 ""
pin-label ""
msr-label "no terminator"
info-item 0x04 4142
bitmap-crc 01
info-item 0x10 ""
feature-report 0x05 ""
feature-report 0x0E 0E 10 00 04 DE AD BE EF
fault get-feature
fault open
fault open off
fault read-file
unplugged
wait 0ms
fault read-file off
wait 2s
plug
)");
  const std::string text = WriteScenario(s);
  EXPECT_NE(text.find("info-item 0x02 none\n"), std::string::npos) << text;
  EXPECT_NE(text.find("fault get-feature\nfault read-file\nunplugged\n"), std::string::npos);
  // The first timed line is a fault: a wait of nothing keeps it out of the description.
  EXPECT_NE(text.find("\nwait 0ms\nfault read-file off\nwait 2s\nplug\n"), std::string::npos)
      << text;
  ExpectRoundTrip(s, "description");
}

// Steps that take no time and do nothing leave no trace, not even the blank line before
// the timed input.
TEST(ScenarioWriterTest, StepsOfNothingWriteNothing) {
  const Scenario s = ParseScenario("serial \"x\"\nwait 0ms\nrepeat 0\nreport 20\nend\n");
  EXPECT_EQ(WriteScenario(s).back(), '\n');
  EXPECT_EQ(WriteScenario(s).find("\n\n"), std::string::npos) << WriteScenario(s);
  ExpectRoundTrip(s, "nothing");
}

TEST(ScenarioWriterTest, LongWaitsSplitIntoDays) {
  Scenario s = ParseScenario("wait 24h\nwait 24h\nwait 6h\nnote \"x\"\nwait 1.5s");
  const std::string text = WriteScenario(s);
  EXPECT_NE(text.find("wait 86400s\nwait 86400s\nwait 21600s\nnote \"x\"\nwait 1500ms\n"),
            std::string::npos)
      << text;
  ExpectRoundTrip(s, "long waits");
}

// Comments never become lines of the scenario, whatever line ends they hold.
TEST(ScenarioWriterTest, HeaderAndStepCommentsStayComments) {
  const Scenario s = ParseScenario("wait 1s\ndevice-status 1 0 0\ndevice-status 2 0 0\n");
  WriteOptions options;
  options.header = "Recorded by a test\rvendor 0x1234\n\nsecond \x1B[2J paragraph";
  options.step_comments[2] = "the second status\r\nunplug";
  const std::string text = WriteScenario(s, options);
  EXPECT_EQ(
      text.rfind("# Recorded by a test\n# vendor 0x1234\n#\n# second \\x1B[2J paragraph\n\n", 0),
      0u)
      << text;
  EXPECT_NE(text.find("device-status 1 0 0\n# the second status\n# unplug\ndevice-status 2 0 0\n"),
            std::string::npos)
      << text;
  ExpectRoundTrip(ParseScenario(text), "comments");
  EXPECT_EQ(ParseScenario(text).terminal.vendor_id, 0x2A5C);
  EXPECT_TRUE(test::Timeline(ParseScenario(text)) == test::Timeline(s));
}

}  // namespace
}  // namespace usborva::scenario
