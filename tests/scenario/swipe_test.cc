// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST(SwipeTest, ExpandsIntoCardStatusSevenItemsAndTheEnd) {
  Scenario s = ParseScenario(R"(input-length 40
swipe track1 "%B41^X/Y^?" track3 ";3?" enc-track2 A1B2 sigil 0F ksn 0102030405060708090A \
      sigil-status 1000 card-status 0 1 2)");
  ASSERT_EQ(s.steps.size(), 1u);
  const std::vector<sim::Report>& r = s.steps[0].reports;
  ASSERT_EQ(r.size(), 9u);
  for (const sim::Report& report : r) EXPECT_EQ(report.size(), 40u);
  EXPECT_EQ(std::vector<uint8_t>(r[0].begin(), r[0].begin() + 4), Bytes({0x22, 0, 1, 2}));
  // Items 1-7 in order; what the swipe leaves out goes as an empty item.
  const std::vector<size_t> lengths = {10, 0, 3, 0, 2, 0, 1};
  for (uint8_t type = 1; type <= 7; ++type) {
    const sim::Report& item = r[type];
    EXPECT_EQ(item[0], 0x23);
    EXPECT_EQ(item[1], type);
    EXPECT_EQ(item[2], 0);
    EXPECT_EQ(item[3], lengths[type - 1u]) << "item " << int(type);
  }
  EXPECT_EQ(std::string(r[1].begin() + 4, r[1].begin() + 14), "%B41^X/Y^?");
  EXPECT_EQ(std::vector<uint8_t>(r[5].begin() + 4, r[5].begin() + 6), Bytes({0xA1, 0xB2}));
  const sim::Report& end = r[8];
  EXPECT_EQ(std::vector<uint8_t>(end.begin(), end.begin() + 3), Bytes({0x23, 99, 0}));
  EXPECT_EQ(std::vector<uint8_t>(end.begin() + 4, end.begin() + 14),
            Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The sigil status reads as decimal in its hex text: 1000 is 00 00 10 00.
  EXPECT_EQ(std::vector<uint8_t>(end.begin() + 14, end.begin() + 18), Bytes({0, 0, 0x10, 0}));
}

TEST(SwipeTest, AnErrorSwipeEndsWithItsStatusAndTheKsnDefaultsToTheMsrKsn) {
  Scenario s = ParseScenario("msr-ksn FFFF9876543210E00002\nswipe error 5");
  const sim::Report& end = s.steps.at(0).reports.at(8);
  EXPECT_EQ(end[2], 5);
  EXPECT_EQ(std::vector<uint8_t>(end.begin() + 4, end.begin() + 14),
            Bytes({0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0x00, 0x02}));
}

TEST(SwipeTest, AnMsrKsnThatIsNoHexGivesAZeroKsn) {
  Scenario s = ParseScenario("msr-ksn \"not a hex ksn here!\"\nswipe");
  const sim::Report& end = s.steps.at(0).reports.at(8);
  EXPECT_EQ(std::vector<uint8_t>(end.begin() + 4, end.begin() + 14), std::vector<uint8_t>(10, 0));
}

TEST(SwipeTest, TrackTextIsOneBytePerCharacterInTheTerminalsCodePage) {
  Scenario s = ParseScenario("swipe track1 \"\xC3\xA9\\x7F\"");  // é and DEL
  const sim::Report& item = s.steps.at(0).reports.at(1);
  EXPECT_EQ(item[3], 2);
  EXPECT_EQ(item[4], 0xE9);
  EXPECT_EQ(item[5], 0x7F);
}

TEST(SwipeTest, SimpleReportsAreBuiltAtTheTerminalsLength) {
  Scenario s = ParseScenario(R"(input-length 24
device-status 1 2 3
card-status 4 5 6
pin-response 7 00112233445566778899 A0A1A2A3A4A5A6A7
select-response 0 9
display-done 1
report 27)");
  ASSERT_EQ(s.steps.size(), 6u);
  for (const Step& step : s.steps) EXPECT_EQ(step.reports.at(0).size(), 24u);
  EXPECT_EQ(s.steps[0].reports[0][3], 3);
  EXPECT_EQ(s.steps[1].reports[0][0], 0x22);
  const sim::Report& pin = s.steps[2].reports[0];
  EXPECT_EQ(pin[1], 7);
  EXPECT_EQ(pin[11], 0x99);
  EXPECT_EQ(pin[19], 0xA7);
  EXPECT_EQ(s.steps[3].reports[0][2], 9);
  EXPECT_EQ(s.steps[5].reports[0][0], 0x27);
}

// The API the interactive simulator sends through gives the directive's reports, byte for
// byte, the KSN defaulting the same way.
TEST(SwipeTest, SwipeReportsIsWhatTheDirectiveSends) {
  Scenario s = ParseScenario(R"(input-length 48
msr-ksn FFFF9876543210E00002
swipe track2 ";4111111111111111=2812101?" sigil-status 7 card-status 0 1 1)");
  SwipeFields fields;
  const std::string track2 = ";4111111111111111=2812101?";
  fields.items[protocol::kCardItemTrack2 - 1].assign(track2.begin(), track2.end());
  fields.sigil_status = 7;
  fields.card_status = {0, 1, 1};
  EXPECT_EQ(SwipeReports(fields, s.terminal), s.steps.at(0).reports);
}

}  // namespace
}  // namespace usborva::scenario
