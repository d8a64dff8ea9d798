// SPDX-License-Identifier: Apache-2.0
// Reading a scenario costs time in proportion to its text: ten times the text, about ten
// times the time. Each shape that once cost the square of its length (one line of many
// words, a file whose lines end in carriage returns, repeat blocks inside repeat blocks, a
// long text) is read at 100 KB and at 1 MB in this one run (GrowthRatio says how).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "usborva/scenario.h"
#include "usborva_test/growth.h"

// Under AddressSanitizer a megabyte costs more per byte than a hundred kilobytes (its
// shadow memory and quarantine outgrow the caches), which is the sanitizer's cost, not the
// reader's: the plain build measures.
#if defined(__SANITIZE_ADDRESS__)
#define USBORVA_TIMING_IS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define USBORVA_TIMING_IS_SANITIZED 1
#endif
#endif

namespace usborva::scenario {
namespace {

// Repeats piece after head until the text is about `size` bytes, then adds tail.
std::string Fill(std::string head, std::string_view piece, std::string_view tail, size_t size) {
  while (head.size() + piece.size() + tail.size() <= size) head += piece;
  return head += tail;
}

// Blocks nested as deep as the limit lets them, one after another, a step in each.
std::string NestedBlocks(size_t size) {
  std::string block;
  for (int i = 0; i < kMaxRepeatDepth; ++i) block += "repeat 1\n";
  block += "wait 1ms\n";
  for (int i = 0; i < kMaxRepeatDepth; ++i) block += "end\n";
  return Fill("", block, "", size);
}

struct Shape {
  const char* name;
  std::function<std::string(size_t)> make;
};

const Shape kShapes[] = {
    {"one line of many words",
     [](size_t size) { return Fill("note", " abcdefghijklmnopqrstuvwxyz0123456789ab", "", size); }},
    {"lines ending in carriage returns",
     [](size_t size) {
       return Fill("serial \"S1\"\r", "note abcdefghijklmnopqrstuvwxyz0123456789\r", "", size);
     }},
    {"nested repeat blocks", NestedBlocks},
    {"one long text",
     [](size_t size) { return Fill("config-file \"", "[Settings]\\n", "\"", size); }},
};

// Reads the text; the long line has too many words for a note and is refused, once read.
void Read(const std::string& text) {
  try {
    ParseScenario(text);
  } catch (const ScenarioError&) {
  }
}

TEST(ScenarioLinearityTest, TenTimesTheTextTakesAboutTenTimesTheTime) {
#ifdef USBORVA_TIMING_IS_SANITIZED
  GTEST_SKIP() << "timed in the plain build";
#endif
  for (const Shape& shape : kShapes) {
    const std::string small = shape.make(100 * 1000);
    const std::string large = shape.make(1000 * 1000);
    const double ratio = test::GrowthRatio([&] { Read(small); }, [&] { Read(large); });
    // Linear reading gives about 10; reading that costs the square of the length, 100.
    EXPECT_LT(ratio, 15.0) << shape.name;
    RecordProperty(std::string(shape.name), std::to_string(ratio));
  }
}

}  // namespace
}  // namespace usborva::scenario
