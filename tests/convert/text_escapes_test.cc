// SPDX-License-Identifier: Apache-2.0
#include "convert/text_escapes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace usborva::convert {
namespace {

struct Escape {
  std::string text;  // from the backslash on
  size_t length;     // 0: refused
  char16_t value;
  bool code_unit;
};

// The grammar scenario files and the host's files share, read by both through this one
// reader.
TEST(TextEscapesTest, ReadsEveryEscapeOfTheGrammarAndNothingElse) {
  const std::vector<Escape> cases = {
      {"\\\\", 2, u'\\', false},    {"\\\"rest", 2, u'"', false},
      {"\\n", 2, u'\n', false},     {"\\r", 2, u'\r', false},
      {"\\t", 2, u'\t', false},     {"\\0", 2, u'\0', false},
      {"\\x1b", 4, 0x1B, false},    {"\\xE9z", 4, 0xE9, false},
      {"\\u20ac", 6, 0x20AC, true}, {"\\uD83D\\uDCB3", 6, 0xD83D, true},
      {"\\x4", 0, 0, false},        {"\\xG0", 0, 0, false},
      {"\\u12", 0, 0, false},       {"\\u12x4", 0, 0, false},
      {"\\q", 0, 0, false},         {"\\U0001F4B3", 0, 0, false},
      {"\\", 0, 0, false},          {"\\'", 0, 0, false},
  };
  for (const Escape& c : cases) {
    const TextEscape escape = ReadTextEscape(c.text, 0);
    EXPECT_EQ(escape.length, c.length) << c.text;
    if (c.length == 0) {
      EXPECT_NE(escape.problem, nullptr) << c.text;
      continue;
    }
    EXPECT_EQ(escape.value, c.value) << c.text;
    EXPECT_EQ(escape.code_unit, c.code_unit) << c.text;
  }
}

TEST(TextEscapesTest, ReadsInsideALineAndNeverPastItsEnd) {
  const std::string line = "say \"a\\x41\"";
  const TextEscape escape = ReadTextEscape(line, line.find('\\'));
  EXPECT_EQ(escape.length, 4u);
  EXPECT_EQ(escape.value, u'A');
  // Digits cut off by the end of the view are refused, not read from beyond it.
  const std::string_view cut = std::string_view("\\x41").substr(0, 3);
  EXPECT_EQ(ReadTextEscape(cut, 0).length, 0u);
  EXPECT_STREQ(ReadTextEscape(cut, 0).problem, "\\x needs two hexadecimal digits");
}

}  // namespace
}  // namespace usborva::convert
