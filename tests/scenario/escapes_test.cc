// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

std::string NoteOf(const std::string& line) {
  const Scenario s = ParseScenario(line);
  return s.steps.at(0).text;
}

std::string ErrorOf(const std::string& text) {
  try {
    ParseScenario(text, "t.scn");
  } catch (const ScenarioError& error) {
    return std::to_string(error.column()) + ": " + error.message();
  }
  return "accepted";
}

// Scenario texts share the escape grammar of the host's files; \xHH stays one byte of the
// UTF-8 text, as files written before \uHHHH existed rely on.
TEST(ScenarioEscapesTest, ByteAndCodeUnitEscapesSpellTheSameText) {
  EXPECT_EQ(NoteOf("note \"\\xC3\\xA9 \\u00E9 \\u00e9\""), "\xC3\xA9 \xC3\xA9 \xC3\xA9");
  EXPECT_EQ(NoteOf("note \"\\u20AC\\u0041\\t\\0.\""), std::string("\xE2\x82\xAC"
                                                                  "A\t\0.",
                                                                  7));
  EXPECT_EQ(NoteOf("note \"\\uD83D\\uDCB3\""), "\xF0\x9F\x92\xB3");  // a pair, high half first
}

TEST(ScenarioEscapesTest, HalfASurrogatePairOrAShortEscapeIsRefusedWhereItStands) {
  EXPECT_EQ(ErrorOf("note \"ab\\uD83D\""),
            "9: \\uD83D is half of a surrogate pair: write the pair, high half first");
  EXPECT_EQ(ErrorOf("note \"\\uDCB3\\uD83D\"").substr(0, 3), "7: ");
  EXPECT_EQ(ErrorOf("note \"\\u12\""), "7: \\u needs four hexadecimal digits");
  EXPECT_EQ(ErrorOf("note \"\\q\""),
            "7: unknown escape \\q (use \\\\ \\\" \\n \\r \\t \\0 \\xHH or \\uHHHH)");
}

TEST(ScenarioEscapesTest, TrackTextFromACodeUnitEscapeIsOneBytePerCharacter) {
  const Scenario s = ParseScenario("swipe track1 \"\\u00E9\\u20AC\"");
  const sim::Report& item = s.steps.at(0).reports.at(1);
  EXPECT_EQ(item[3], 2);
  EXPECT_EQ(item[4], 0xE9);
  EXPECT_EQ(item[5], 0x80);  // the euro sign's byte in the terminal's code page
}

// Columns count characters as the UTF-8 codec reads them: a malformed sequence (one
// U+FFFD) is one column, a stray continuation byte too.
TEST(ScenarioEscapesTest, ColumnsCountMalformedSequencesAsTheCodecReadsThem) {
  EXPECT_EQ(ErrorOf("note \"\xE2\x82\" \"\\q\"").substr(0, 3), "11:");
  EXPECT_EQ(ErrorOf("note \"\x80\x80\" \"\\q\"").substr(0, 3), "12:");
  EXPECT_EQ(ErrorOf("note \"\xC3\xA9\" \"\\q\"").substr(0, 3), "11:");
}

}  // namespace
}  // namespace usborva::scenario
