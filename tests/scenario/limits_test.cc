// SPDX-License-Identifier: Apache-2.0
// Hostile scenario text: bombs that expand past the limits, long and odd lines, and
// mistyped lines holding card data or terminal escapes. Each is refused with a clear,
// guarded error, or read in bounded time and memory.
#include <gtest/gtest.h>

#include <string>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

std::string Repeated(std::string_view piece, size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

ScenarioError ErrorOf(std::string_view text) {
  try {
    ParseScenario(text, "t.scn");
  } catch (const ScenarioError& error) {
    return error;
  }
  ADD_FAILURE() << "accepted: " << text.substr(0, 80);
  return ScenarioError("", 0, 0, "");
}

TEST(ScenarioLimitsTest, RepeatBombsAreRefusedBeforeTheyAreBuilt) {
  // A 100 KB note repeated 100000 times: 10 GB, if it were copied.
  ScenarioError big_note =
      ErrorOf("repeat 10000\nrepeat 10\nnote \"" + std::string(100000, 'a') + "\"\nend\nend\n");
  EXPECT_EQ(big_note.line(), 3);
  EXPECT_NE(big_note.message().find("a note holds at most 4096 bytes"), std::string::npos);

  ScenarioError notes =
      ErrorOf("repeat 10000\nrepeat 10\nnote \"" + std::string(4000, 'a') + "\"\nend\nend\n");
  EXPECT_EQ(notes.line(), 5);
  EXPECT_NE(notes.message().find("notes take more than 4 MiB once the repeat of line 1"),
            std::string::npos)
      << notes.what();

  ScenarioError deep = ErrorOf(Repeated("repeat 1\nwait 1ms\n", 40) + Repeated("end\n", 40));
  EXPECT_EQ(deep.line(), 65);  // the 33rd repeat
  EXPECT_NE(deep.message().find("nest at most 32 deep"), std::string::npos);

  // Steps a `repeat 0` throws away were built all the same, so they count.
  ScenarioError zero = ErrorOf(Repeated("repeat 0\nrepeat 10000\nwait 0ms\nend\nend\n", 11));
  EXPECT_EQ(zero.line(), 53);  // the first step of the eleventh block
  EXPECT_NE(zero.message().find("more than 100000 steps"), std::string::npos);
}

TEST(ScenarioLimitsTest, BlocksAtTheLimitsExpandAndCopiesKeepTheirLines) {
  Scenario deep = ParseScenario(Repeated("repeat 1\n", 32) + "wait 1ms\n" + Repeated("end\n", 32));
  EXPECT_EQ(deep.steps.size(), 1u);

  Scenario s = ParseScenario("repeat 3\nnote \"" + std::string(kMaxTextBytes, 'n') +
                             "\"\nwait 1ms\nend\nrepeat 0\nwait 1s\nend\nwait 2ms");
  ASSERT_EQ(s.steps.size(), 7u);
  EXPECT_EQ(s.steps[4].line, 2);  // the third note: written on line 2
  EXPECT_EQ(s.steps[5].line, 3);
  EXPECT_EQ(s.steps[6].line, 8);
  EXPECT_EQ(s.Length(), Milliseconds(5));
}

TEST(ScenarioLimitsTest, LinesEndInLineFeedsCarriageReturnsOrBoth) {
  for (std::string_view end : {"\n", "\r\n", "\r"}) {
    const std::string eol(end);
    Scenario s = ParseScenario("serial \"S1\"" + eol + eol + "wait 1ms" + eol + "report 20 \\" +
                               eol + "  01" + eol + "note done" + eol);
    ASSERT_EQ(s.steps.size(), 3u);
    EXPECT_EQ(s.steps[1].line, 4);
    EXPECT_EQ(s.steps[2].text, "done");
    ScenarioError error = ErrorOf("wait 1ms" + eol + "wait 1ms" + eol + "vendor 1" + eol);
    EXPECT_EQ(error.line(), 3);
  }
}

TEST(ScenarioLimitsTest, ErrorsQuoteTokensCutMaskedAndEscaped) {
  // A mistyped swipe: the track went in as a field name.
  ScenarioError swipe = ErrorOf(
      "swipe track1 \"%B4111111111111111^PUBLIC/JOHN Q^2812?\" \\\n"
      "  ;4111111111111111=28121010000000000000?");
  EXPECT_NE(swipe.message().find("unknown field ';411111******1111="), std::string::npos)
      << swipe.what();
  EXPECT_EQ(std::string(swipe.what()).find("4111111111111111"), std::string::npos);

  const std::string hostile[] = {
      "swipe \x1b[31mred\x07 1",                  // a field name
      "\x1b]0;title\x07 1",                       // a directive
      "fault \x1b[2J",                            // a fault name
      "vendor 0x\x1b",                            // a number
      "note \"\\\x1b\"",                          // an escape
      "pin-response 0 \x1b[0m 0011223344556677",  // hex
      "wait \x07"
      "5s",              // a duration
      "swipe ksn \x1b",  // a field's value
  };
  for (const std::string& text : hostile) {
    const std::string what = ErrorOf(text).what();
    EXPECT_EQ(what.find_first_of("\x1b\x07"), std::string::npos) << what;
    EXPECT_TRUE(what.find("\\x1B") != std::string::npos || what.find("\\x07") != std::string::npos)
        << what;
  }

  // Long tokens: 32 characters of them, then "...".
  for (const std::string& text :
       {std::string(3000, 'x') + " 1", "vendor 0x" + std::string(3000, 'F'),
        "swipe " + std::string(3000, 'f') + " 1", "fault " + std::string(3000, 'f'),
        "wait " + std::string(3000, 'w'), "device-status 1 1 " + std::string(3000, '1')}) {
    const std::string message = ErrorOf(text).message();
    EXPECT_LT(message.size(), 300u) << message;
    EXPECT_NE(message.find("..."), std::string::npos) << message;
    EXPECT_EQ(message.find(std::string(33, text[text.size() - 3])), std::string::npos) << message;
  }
  // A long number is a long run of digits: masked like a card number.
  EXPECT_NE(ErrorOf("vendor " + std::string(3000, '7')).message().find("'777777*****"),
            std::string::npos);
}

TEST(ScenarioLimitsTest, TextsLinesAndTheWholeTextAreBounded) {
  const std::string at_limit(kMaxTextBytes, 's');
  EXPECT_NO_THROW(ParseScenario("serial \"" + at_limit + "\"\npath \"" + at_limit + "\""));
  EXPECT_NE(ErrorOf("serial \"" + at_limit + "s\"").message().find("at most 4096"),
            std::string::npos);
  EXPECT_NE(ErrorOf("path " + at_limit + "s").message().find("at most 4096"), std::string::npos);
  EXPECT_NE(ErrorOf("note " + at_limit + " s").message().find("a note holds at most 4096"),
            std::string::npos);

  // Words: a line, continued or not, holds at most kMaxLineWords of them.
  const std::string report = "input-length 32767\nreport" + Repeated(" 00", 32767);
  EXPECT_EQ(ParseScenario(report).steps.size(), 1u);
  ScenarioError words = ErrorOf(report + " 00");
  EXPECT_EQ(words.line(), 2);
  EXPECT_NE(words.message().find("at most 32768 words"), std::string::npos);
  EXPECT_EQ(ErrorOf("input-length 32767\nreport" + Repeated(" 00 \\\n", 32767) + " 00").line(),
            32769);

  ScenarioError whole = ErrorOf(std::string(kMaxScenarioBytes + 1, '#'));
  EXPECT_EQ(whole.line(), 0);
  EXPECT_NE(whole.message().find("at most 4 MiB"), std::string::npos);
}

}  // namespace
}  // namespace usborva::scenario
