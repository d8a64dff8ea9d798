// SPDX-License-Identifier: Apache-2.0
// Reading rules (on set-feature ... end) and expectations (expect ...): what they build, and
// the placed errors a mistyped one gets.
#include <gtest/gtest.h>

#include <string>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

struct BadRule {
  const char* text;
  int line;
  int column;
  const char* message_part;
};

class RuleErrorTest : public testing::TestWithParam<BadRule> {};

TEST_P(RuleErrorTest, NamesLineColumnAndCause) {
  const BadRule& bad = GetParam();
  try {
    ParseScenario(bad.text, "r.scn");
    FAIL() << "accepted: " << bad.text;
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), bad.line) << error.what();
    EXPECT_EQ(error.column(), bad.column) << error.what();
    EXPECT_NE(error.message().find(bad.message_part), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleErrorTest,
    testing::Values(
        BadRule{"on set-feature 0A\non set-feature 0B\nend\nend", 2, 1, "line 1 is still open"},
        BadRule{"wait 1s\non set-feature 0A\nend", 2, 1, "began on line 1"},
        BadRule{"on set-feature 0A\n  display-done 0\n", 1, 1, "'on' block is not closed"},
        BadRule{"on set-feature\nend", 1, 15, "give the bytes"},
        BadRule{"on set-feature 0A 0G\nend", 1, 19, "hexadecimal bytes"},
        BadRule{"on set-feature 0A ?1\nend", 1, 19, "?? for any byte"},
        BadRule{"on set-feature 0A1\nend", 1, 16, "odd number"},
        BadRule{"on get-feature 0A\nend", 1, 4, "reacts to 'set-feature'"},
        BadRule{"on\nend", 1, 3, "usage: on set-feature"},
        BadRule{"on set-feature 0A\n  serial \"X\"\nend", 2, 3, "cannot go in an 'on' block"},
        BadRule{"on set-feature 0A\n  expect event DisplayDone within 1s\nend", 2, 3,
                "not in an 'on' block"},
        BadRule{"on set-feature 0A\n  plug\nend", 2, 3, "already plugged in"},
        BadRule{"wait 1s\nconfig 0102030405060708", 2, 1, "or in an 'on' block"},
        BadRule{"feature-length 4\non set-feature 01 02 03 04 05\nend", 2, 16,
                "feature reports are 4"},
        BadRule{"expect set-feature 0A 01 within 2s\nfeature-length 1", 2, 1, "began on line 1"},
        BadRule{"feature-length 2\nexpect set-feature 0A 01 ?? within 2s", 2, 20,
                "feature reports are 2"},
        BadRule{"expect set-feature 0A", 1, 22, "within TIME"},
        BadRule{"expect set-feature within 1s", 1, 19, "give the bytes"},
        BadRule{"expect set-feature 0A within 0s", 1, 30, "more than 0 ms"},
        BadRule{"expect set-feature 0A within 2", 1, 30, "give the unit"},
        BadRule{"expect event Displaydone within 1s", 1, 14, "unknown event"},
        BadRule{"expect event DisplayDone 0 1 within 1s", 1, 28, "1 byte argument"},
        BadRule{"expect event CardDataChanged 0 within 1s", 1, 30, "0 byte arguments"},
        BadRule{"expect event SelectResponse 0 256 within 1s", 1, 31, "out of range"},
        BadRule{"expect card within 1s", 1, 8, "'set-feature' or 'event'"},
        BadRule{"expect", 1, 7, "usage: expect"},
        BadRule{"end", 1, 1, "without a 'repeat' or an 'on'"}));

TEST(RuleParseTest, RulesHoldPatternsStepsAndModelChanges) {
  const Scenario s = ParseScenario(R"(feature-length 16
pin-ksn "FFFF9876543210E00001"
on set-feature 0A 01 ??    # request PIN, any third byte
  feature-report 0x0B 01
  info-item 0x01 "41 42"
  info-item 0x02 none
  config 0807060504030201
  wait 800ms
  repeat 2
    display-done 0
  end
  unplug
end
on set-feature "0a ??"
end
wait 1s
)",
                                   "r.scn");
  ASSERT_EQ(s.rules.size(), 2u);
  const Rule& first = s.rules[0];
  EXPECT_EQ(first.line, 3);
  EXPECT_EQ(first.pattern, (BytePattern{0x0A, 0x01, std::nullopt}));
  ASSERT_EQ(first.steps.size(), 8u);
  EXPECT_EQ(first.steps[0].kind, StepKind::kModel);
  EXPECT_EQ(first.steps[0].model.part, ModelChange::Part::kFeatureReport);
  EXPECT_EQ(first.steps[0].model.bytes, (std::vector<uint8_t>{0x0B, 0x01}));
  EXPECT_EQ(first.steps[1].model.bytes, (std::vector<uint8_t>{0x41, 0x42}));
  EXPECT_EQ(first.steps[2].model.id, 0x02);
  EXPECT_FALSE(first.steps[2].model.bytes.has_value());
  EXPECT_EQ(first.steps[3].model.part, ModelChange::Part::kConfig);
  EXPECT_EQ(first.steps[4].wait, Milliseconds(800));
  EXPECT_EQ(first.steps[5].kind, StepKind::kReports);
  EXPECT_EQ(first.steps[6].line, 10);
  EXPECT_EQ(first.steps[7].kind, StepKind::kUnplug);
  EXPECT_EQ(s.rules[1].pattern, (BytePattern{0x0A, std::nullopt}));
  EXPECT_TRUE(s.rules[1].steps.empty());
  // The rules change nothing of the terminal's start, nor of the timed input.
  EXPECT_EQ(s.terminal.terminal.items.at(sim::kInfoPINKSN).size(), 20u);
  EXPECT_EQ(s.terminal.terminal.fixed_reports.count(0x0B), 0u);
  EXPECT_EQ(s.steps.size(), 1u);
  EXPECT_EQ(s.Length(), Milliseconds(1000));
}

TEST(RuleParseTest, ExpectationsKeepWhatTheyAwaitAndCountTheirTimeLimit) {
  const Scenario s = ParseScenario(R"(wait 100ms
expect set-feature 0A ?? within 2s
expect event DeviceStatusChanged 1 ?? within 500ms
expect event CardDataChanged within 1.5s
)");
  ASSERT_EQ(s.steps.size(), 4u);
  const Expectation& set = s.steps[1].expect;
  EXPECT_EQ(s.steps[1].kind, StepKind::kExpect);
  EXPECT_EQ(set.kind, Expectation::Kind::kSetFeature);
  EXPECT_EQ(set.pattern, (BytePattern{0x0A, std::nullopt}));
  EXPECT_EQ(set.within, Milliseconds(2000));
  EXPECT_EQ(set.text, "set-feature 0A ?? within 2s");
  const Expectation& status = s.steps[2].expect;
  EXPECT_EQ(status.kind, Expectation::Kind::kEvent);
  EXPECT_EQ(status.event, EventId::kDeviceStatusChanged);
  EXPECT_EQ(status.pattern, (BytePattern{1, std::nullopt}));
  EXPECT_TRUE(s.steps[3].expect.pattern.empty());
  EXPECT_EQ(s.steps[3].line, 4);
  EXPECT_EQ(s.Length(), Milliseconds(100 + 2000 + 500 + 1500));
}

TEST(RuleParseTest, PatternsMatchLeadingBytesWithWildcards) {
  const std::vector<uint8_t> report = {0x0A, 0x01, 0x7F, 0x00};
  EXPECT_TRUE(MatchesPattern({}, report));
  EXPECT_TRUE(MatchesPattern({0x0A, 0x01}, report));
  EXPECT_TRUE(MatchesPattern({0x0A, std::nullopt, 0x7F, 0x00}, report));
  EXPECT_FALSE(MatchesPattern({0x0A, 0x02}, report));
  EXPECT_FALSE(MatchesPattern({0x0A, 0x01, 0x7F, 0x00, std::nullopt}, report));  // too long
}

// Rule bodies count towards the scenario's totals; the number of rules has a limit of its own.
TEST(RuleParseTest, RulesStayWithinTheLimits) {
  std::string many;
  for (size_t i = 0; i <= kMaxRules; ++i) many += "on set-feature 0A\nend\n";
  try {
    ParseScenario(many);
    FAIL();
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), static_cast<int>(2 * kMaxRules + 1));
    EXPECT_NE(error.message().find("at most 1000 'on' blocks"), std::string::npos);
  }
  const std::string bomb =
      "on set-feature 0A\n repeat 10000\n  repeat 10000\n   note x\n  end\n end\nend\n";
  try {
    ParseScenario(bomb);
    FAIL();
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.line(), 6);  // the outer repeat's end
    EXPECT_NE(error.message().find("more than 100000 steps"), std::string::npos);
  }
  // The steps of a body and of the timed input share one total.
  const std::string shared =
      "on set-feature 0A\n repeat 60000\n  note x\n end\nend\n"
      "repeat 50000\n note y\nend\n";
  EXPECT_THROW(ParseScenario(shared), ScenarioError);
}

}  // namespace
}  // namespace usborva::scenario
