// SPDX-License-Identifier: Apache-2.0
// The `queue` directive: which platform's driver queues the terminal's reports.
#include <gtest/gtest.h>

#include <string>

#include "usborva/scenario.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::scenario {
namespace {

TEST(QueueDirectiveTest, ChoosesThePolicyAndDefaultsToTheBuildPlatform) {
  EXPECT_EQ(ParseScenario("").terminal.queue_policy, sim::kDefaultQueuePolicy);
  EXPECT_EQ(ParseScenario("queue windows").terminal.queue_policy, sim::QueuePolicy::kWindows);
  EXPECT_EQ(ParseScenario("queue linux").terminal.queue_policy, sim::QueuePolicy::kLinux);
  EXPECT_EQ(ParseScenario("queue linux\nqueue windows").terminal.queue_policy,
            sim::QueuePolicy::kWindows);  // the last line says
}

struct BadQueue {
  const char* text;
  int line;
  int column;
  const char* message_part;
  bool suggests;  // the message offers a policy for a misspelt one
};

class QueueDirectiveErrorTest : public testing::TestWithParam<BadQueue> {};

TEST_P(QueueDirectiveErrorTest, IsPlacedAndSaysWhatWouldDo) {
  const BadQueue& bad = GetParam();
  try {
    ParseScenario(bad.text, "q.scn");
    FAIL() << "accepted: " << bad.text;
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), bad.line) << error.what();
    EXPECT_EQ(error.column(), bad.column) << error.what();
    EXPECT_NE(error.message().find(bad.message_part), std::string::npos) << error.what();
    EXPECT_EQ(error.message().find("did you mean") != std::string::npos, bad.suggests)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueDirectiveErrorTest,
    testing::Values(
        BadQueue{"queue linx", 1, 7, "unknown queue 'linx'; did you mean 'linux'? (queues:", true},
        BadQueue{"serial X\n  queue Windws", 2, 9, "did you mean 'windows'", true},
        BadQueue{"queue macos", 1, 7, "unknown queue 'macos' (queues: windows, linux)", false},
        BadQueue{"queue \"linux\"", 1, 7, "without quotes", false},
        BadQueue{"queue", 1, 6, "too few values", false},
        BadQueue{"wait 1s\nqueue linux", 2, 1, "began on line 1", false}));

}  // namespace
}  // namespace usborva::scenario
