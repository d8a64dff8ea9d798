// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

#include "descriptors.h"

namespace usborva::hidraw {
namespace {

using testing::kBootKeyboardDescriptor;
using testing::kTerminalDescriptor;
using testing::kUnnumberedDescriptor;

struct CapsCase {
  const char* name;
  std::vector<uint8_t> descriptor;
  uint16_t usage_page;
  uint16_t usage;
  bool numbered;
  uint16_t input;
  uint16_t output;
  uint16_t feature;
};

class ReportDescriptorCapsTest : public ::testing::TestWithParam<CapsCase> {};

TEST_P(ReportDescriptorCapsTest, LengthsAreLargestReportPlusIdByte) {
  const CapsCase& c = GetParam();
  DescriptorCaps caps;
  ASSERT_EQ(ParseReportDescriptor(c.descriptor, &caps), DescriptorStatus::kOk);
  EXPECT_EQ(caps.UsagePage, c.usage_page);
  EXPECT_EQ(caps.Usage, c.usage);
  EXPECT_EQ(caps.numbered, c.numbered);
  EXPECT_EQ(caps.InputReportByteLength, c.input);
  EXPECT_EQ(caps.OutputReportByteLength, c.output);
  EXPECT_EQ(caps.FeatureReportByteLength, c.feature);
}

INSTANTIATE_TEST_SUITE_P(
    RealWorldShapes, ReportDescriptorCapsTest,
    ::testing::Values(
        CapsCase{"terminal", kTerminalDescriptor, 0xFF00, 1, true, 64, 0, 64},
        CapsCase{"unnumbered", kUnnumberedDescriptor, 0xFF00, 1, false, 65, 0, 33},
        CapsCase{"boot_keyboard", kBootKeyboardDescriptor, 0x01, 6, false, 9, 2, 0},
        // 3 buttons + 5 padding bits + X, Y, wheel: bits round up per report.
        CapsCase{"mouse_with_odd_bits",
                 {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,  //
                  0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x95, 0x03, 0x75, 0x01,
                  0x81, 0x02, 0x95, 0x01, 0x75, 0x04, 0x81, 0x01,  // 4 pad bits: 7 bits so far
                  0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, 0x15, 0x81,
                  0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06,  // 24 bits: 31 bits in all
                  0xC0, 0xC0},
                 0x01,
                 2,
                 false,
                 5,
                 0,
                 0},
        // Several IDs: the largest report of each kind decides, not the last or the sum.
        CapsCase{"several_ids",
                 {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,  //
                  0x85, 0x01, 0x95, 0x10, 0x81, 0x02,                    // input 1: 16
                  0x85, 0x02, 0x95, 0x04, 0x81, 0x02,                    // input 2: 4
                  0x95, 0x04, 0x81, 0x02,                                // input 2: 8
                  0x85, 0x03, 0x95, 0x07, 0x91, 0x02,                    // output 3: 7
                  0x85, 0x04, 0x95, 0x02, 0xB1, 0x02, 0xC0},             // feature 4: 2
                 0xFF00,
                 1,
                 true,
                 17,
                 8,
                 3},
        // Push saves Report Size 16 and ID 5; Pop restores them after an 8-bit detour.
        CapsCase{"push_pop",
                 {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05, 0x75, 0x10, 0x95, 0x02,
                  0xA4,                                            // Push
                  0x85, 0x06, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,  // input 6: 1 byte
                  0xB4,                                            // Pop
                  0x81, 0x02,                                      // input 5: 2 x 16 bits
                  0xC0},
                 0x0C,
                 1,
                 true,
                 5,
                 0,
                 0},
        // A long item (0xFE, size, tag, data) is skipped whatever its data looks like.
        CapsCase{"long_item",
                 {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  //
                  0xFE, 0x03, 0x10, 0x85, 0x07, 0xB1,        // long item holding item bytes
                  0x75, 0x08, 0x95, 0x05, 0x81, 0x02, 0xC0},
                 0xFF00,
                 1,
                 false,
                 6,
                 0,
                 0},
        // A four-byte Usage carries its own page.
        CapsCase{
            "extended_usage",
            {0x0B, 0x02, 0x00, 0xA0, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0xC0},
            0xFFA0,
            2,
            false,
            0,
            0,
            2}),
    [](const ::testing::TestParamInfo<CapsCase>& info) { return std::string(info.param.name); });

TEST(ReportDescriptorTest, RecordsReportIdsOfEachKind) {
  DescriptorCaps caps;
  ASSERT_EQ(ParseReportDescriptor(kTerminalDescriptor, &caps), DescriptorStatus::kOk);
  const auto& input = caps.report_ids[static_cast<int>(ReportKind::kInput)];
  const auto& feature = caps.report_ids[static_cast<int>(ReportKind::kFeature)];
  EXPECT_EQ(input.count(), 6u);
  EXPECT_TRUE(input.test(0x23));
  EXPECT_TRUE(feature.test(0x0E) && feature.test(0x09));
  EXPECT_EQ(feature.count(), 2u);
}

struct MalformedCase {
  const char* name;
  std::vector<uint8_t> descriptor;
  DescriptorStatus status;
};

class ReportDescriptorMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(ReportDescriptorMalformedTest, IsRefused) {
  DescriptorCaps caps;
  EXPECT_EQ(ParseReportDescriptor(GetParam().descriptor, &caps), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, ReportDescriptorMalformedTest,
    ::testing::Values(
        MalformedCase{"empty", {}, DescriptorStatus::kEmpty},
        MalformedCase{"short_item_cut", {0xA1, 0x01, 0x26, 0xFF}, DescriptorStatus::kTruncatedItem},
        MalformedCase{"long_item_cut", {0xFE, 0x05, 0x10, 0x01}, DescriptorStatus::kTruncatedItem},
        MalformedCase{"report_id_zero", {0x85, 0x00}, DescriptorStatus::kInvalidReportId},
        MalformedCase{"report_id_wide", {0x86, 0x00, 0x01}, DescriptorStatus::kInvalidReportId},
        MalformedCase{"pop_without_push", {0xB4}, DescriptorStatus::kPopWithoutPush},
        MalformedCase{"end_without_collection", {0xC0}, DescriptorStatus::kUnbalancedCollection},
        MalformedCase{"collection_left_open",
                      {0xA1, 0x01, 0x75, 0x08},
                      DescriptorStatus::kUnbalancedCollection},
        // 0xFFFF bits x 0xFFFF: far past any HID buffer, and no overflow on the way.
        MalformedCase{"report_too_long",
                      {0x77, 0xFF, 0xFF, 0x00, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02},
                      DescriptorStatus::kReportTooLong}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) {
      return std::string(info.param.name);
    });

TEST(ReportDescriptorTest, PushBeyondTheStackIsRefused) {
  std::vector<uint8_t> descriptor(17, 0xA4);
  DescriptorCaps caps;
  EXPECT_EQ(ParseReportDescriptor(descriptor, &caps), DescriptorStatus::kGlobalStackOverflow);
  descriptor.pop_back();
  EXPECT_EQ(ParseReportDescriptor(descriptor, &caps), DescriptorStatus::kOk);
}

TEST(ReportDescriptorTest, LargestAcceptedReportFitsTheCapsField) {
  // 16383 data bytes: the caps length is 16384, which still fits a signed 16-bit field.
  std::vector<uint8_t> descriptor = {0x75, 0x08, 0x96, 0xFF, 0x3F, 0x81, 0x02};
  DescriptorCaps caps;
  ASSERT_EQ(ParseReportDescriptor(descriptor, &caps), DescriptorStatus::kOk);
  EXPECT_EQ(caps.InputReportByteLength, kMaxReportBytes);
  descriptor[3] = 0x00;
  descriptor[4] = 0x40;  // one byte more
  EXPECT_EQ(ParseReportDescriptor(descriptor, &caps), DescriptorStatus::kReportTooLong);
}

}  // namespace
}  // namespace usborva::hidraw
