// SPDX-License-Identifier: Apache-2.0
#include "usborva/protocol.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "usborva/convert.h"

namespace usborva::protocol {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(std::optional<std::span<const uint8_t>> bytes) {
  return bytes ? Bytes(bytes->begin(), bytes->end()) : Bytes{0xDE, 0xAD};
}

TEST(SigilStatusTest, ValuesSurviveTheTripThroughDecimalDigitBytes) {
  for (uint32_t value : {0u, 7u, 1000u, 12345678u, kSigilStatusMax}) {
    EXPECT_EQ(SigilStatusValue(SigilStatusBytes(value)), static_cast<int32_t>(value)) << value;
  }
  EXPECT_EQ(SigilStatusBytes(1000), (std::array<uint8_t, 4>{0x00, 0x00, 0x10, 0x00}));
  EXPECT_EQ(kSigilStatusMax, 99999999u);
}

TEST(SigilStatusTest, LetterDigitsAndWrongLengthsAreNoNumber) {
  EXPECT_EQ(SigilStatusValue(Bytes{0x00, 0x00, 0x0A, 0x00}), std::nullopt);
  EXPECT_EQ(SigilStatusValue(Bytes{0xF0, 0x00, 0x00, 0x00}), std::nullopt);
  EXPECT_EQ(SigilStatusValue(Bytes{0x00, 0x10, 0x00}), std::nullopt);
}

TEST(InfoAnswerTest, DataSurvivesTheTripAndTheHeaderNamesTheItem) {
  Bytes report(64, 0);
  const Bytes data = {'P', 'I', 'N', ':', 0};
  WriteInfoAnswer(report, kInfoPINLabel, data);
  EXPECT_EQ(Bytes(report.begin(), report.begin() + 4), (Bytes{0x0E, 0x03, 0x00, 0x05}));
  EXPECT_EQ(Of(InfoAnswerData(report)), data);
}

TEST(InfoAnswerTest, ShortReportsKeepTheFullLengthAndCutTheData) {
  Bytes data(300);
  std::iota(data.begin(), data.end(), uint8_t{0});
  Bytes report(8, 0);
  WriteInfoAnswer(report, kInfoBitmapCRC, data);
  EXPECT_EQ(report[kInfoLengthOffset], 255);  // the length byte holds no more
  EXPECT_EQ(Of(InfoAnswerData(report)), (Bytes{0, 1, 2, 3}));

  Bytes header_only(2, 0);
  WriteInfoAnswer(header_only, kInfoBitmapCRC, data);
  EXPECT_EQ(header_only, (Bytes{0x0E, 0x10}));
  EXPECT_EQ(InfoAnswerData(header_only), std::nullopt);  // no length byte
  EXPECT_EQ(InfoAnswerData(Bytes{0x09, 0, 0, 4, 1}), std::nullopt);
}

TEST(ConfigAnswerTest, BytesSurviveTheTripCutToTheReport) {
  const std::array<uint8_t, kConfigLength> config = {1, 2, 3, 4, 5, 6, 7, 8};
  Bytes report(64, 0xFF);
  WriteConfigAnswer(report, config);
  EXPECT_EQ(report[0], 0x09);
  EXPECT_EQ(report[kConfigOffset + kConfigLength], 0xFF);  // nothing past the bytes
  EXPECT_EQ(Of(ConfigAnswerBytes(report)), Bytes(config.begin(), config.end()));

  Bytes short_report(4, 0);
  WriteConfigAnswer(short_report, config);
  EXPECT_EQ(Of(ConfigAnswerBytes(short_report)), (Bytes{1, 2, 3}));
  EXPECT_EQ(ConfigAnswerBytes(Bytes{0x09}), std::nullopt);
  EXPECT_EQ(ConfigAnswerBytes(Bytes{0x0E, 1, 2}), std::nullopt);
}

TEST(CommandTest, CommandsReadBackAsTheReportTheyAskFor) {
  EXPECT_EQ(InfoCommand(kInfoBitmapCRC), u"0E 10");
  EXPECT_EQ(ConfigCommand(), u"09");
  for (InfoItem item : {kInfoAuthLabel, kInfoPINKSN, kInfoMSRKSN, kInfoPINLabel, kInfoMSRLabel}) {
    EXPECT_EQ(convert::HexToBytes(InfoCommand(item), 4), (ByteArray{kFeatureInfo, item, 0, 0}));
  }
}

TEST(SpacedHexTest, PositionsMatchTheTextTheFeatureMethodsWrite) {
  Bytes report(16, 0);
  WriteInfoAnswer(report, kInfoPINKSN, Bytes{0xAB, 0xCD});
  const String text = convert::BytesToHexSpaced(report, 0, static_cast<int32_t>(report.size()));
  EXPECT_EQ(text.substr(SpacedHexPosition(kInfoLengthOffset), 2), u"02");
  EXPECT_EQ(text.substr(SpacedHexPosition(kInfoDataOffset), SpacedHexLength(2)), u"AB CD");
  EXPECT_EQ(SpacedHexLength(0), 0u);
}

}  // namespace
}  // namespace usborva::protocol
