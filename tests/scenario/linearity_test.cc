// SPDX-License-Identifier: Apache-2.0
// Reading a scenario costs time in proportion to its text: ten times the text, about ten
// times the time. Each shape that once cost the square of its length (one line of many
// words, a file whose lines end in carriage returns, repeat blocks inside repeat blocks, a
// long text) is read at 100 KB and at 1 MB, best of five each, in this one run. The time
// is the processor time the reading takes, so a test machine busy with other work does
// not stretch one reading more than the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <string>

#include "usborva/scenario.h"

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

// Processor time, in milliseconds.
double BestOfFive(const std::string& text) {
  double best = 1e300;
  for (int run = 0; run < 5; ++run) {
    const std::clock_t start = std::clock();
    try {
      ParseScenario(text);
    } catch (const ScenarioError&) {
      // The long line has too many values for a note: refused, once it has been read.
    }
    best = std::min(best, 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

TEST(ScenarioLinearityTest, TenTimesTheTextTakesAboutTenTimesTheTime) {
#ifdef USBORVA_TIMING_IS_SANITIZED
  GTEST_SKIP() << "timed in the plain build";
#endif
  for (const Shape& shape : kShapes) {
    const std::string small = shape.make(100 * 1000);
    const std::string large = shape.make(1000 * 1000);
    // The clock ticks in microseconds: a reading too quick for it counts as one tick.
    const double small_time = std::max(BestOfFive(small), 0.001);
    const double large_time = BestOfFive(large);
    const double ratio = large_time / small_time;
    // Linear reading gives about 10; reading that costs the square of the length, 100.
    EXPECT_LT(ratio, 15.0) << shape.name << ": 100 KB in " << small_time << " ms, 1 MB in "
                           << large_time << " ms";
    RecordProperty(std::string(shape.name), std::to_string(ratio));
  }
}

}  // namespace
}  // namespace usborva::scenario
