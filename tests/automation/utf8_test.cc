// SPDX-License-Identifier: Apache-2.0
#include "usborva/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "usborva/variant.h"

namespace usborva {
namespace {

struct Malformed {
  const char* what;
  std::string utf8;
  String expected;
};

// The one policy every reader of UTF-8 in the product shares: one U+FFFD per maximal
// prefix of a sequence that cannot be completed, decoding resuming at the byte that broke
// it.
TEST(Utf8PolicyTest, EachMaximalBadPrefixReadsAsOneReplacement) {
  const std::vector<Malformed> cases = {
      {"prefix broken by ASCII", "\xE2\x82\x41", u"\uFFFDA"},
      {"four-byte prefix broken", "\xF0\x9F\x92Z", u"\uFFFDZ"},
      {"truncated at the end", "a\xF0\x9F\x92", u"a\uFFFD"},
      {"two prefixes in a row", "\xE2\x82\xE2\x82", u"\uFFFD\uFFFD"},
      {"stray continuation", "\x80\xBF", u"\uFFFD\uFFFD"},
      {"overlong two-byte lead", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"lead that never leads", "\xF5\x80", u"\uFFFD\uFFFD"},
      {"last valid values", "\xED\x9F\xBF\xF4\x8F\xBF\xBF", u"\uD7FF\U0010FFFF"},
  };
  for (const Malformed& c : cases) {
    EXPECT_EQ(Utf8ToString(c.utf8), c.expected) << c.what;
    // A caller walking step by step sees exactly what the converter sees.
    String stepped;
    for (size_t at = 0; at < c.utf8.size();) {
      const Utf8Step step = DecodeUtf8(c.utf8, at);
      ASSERT_GE(step.length, 1u) << c.what;
      stepped += Utf8ToString(c.utf8.substr(at, step.length));
      at += step.length;
    }
    EXPECT_EQ(stepped, c.expected) << c.what;
  }
}

TEST(Utf8PolicyTest, AStepTellsAReplacementFromAWrittenOne) {
  EXPECT_FALSE(DecodeUtf8("\xE2\x82\x41", 0).valid);
  EXPECT_EQ(DecodeUtf8("\xE2\x82\x41", 0).length, 2u);
  EXPECT_TRUE(DecodeUtf8("\xEF\xBF\xBD", 0).valid);  // U+FFFD itself, as written
}

TEST(Utf8EncodeTest, AppendsAnyValueAndSpellsALoneSurrogateItsThreeByteForm) {
  std::string out;
  for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F4B3'}) AppendUtf8(cp, out);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\xB3");
  out.clear();
  AppendUtf8(0xD800, out);
  EXPECT_EQ(out, "\xED\xA0\x80");  // for escaping callers; StringToUtf8 writes U+FFFD
  EXPECT_EQ(StringToUtf8(String{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace usborva
