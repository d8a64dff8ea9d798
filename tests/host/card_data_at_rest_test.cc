// SPDX-License-Identifier: Apache-2.0
// The standalone host and its bag file keep no clear card data unless the program asks.
#include <gtest/gtest.h>

#include <string>

#include "usborva/host.h"
#include "usborva/property_bag_file.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

// A bag an older save filled: the clear tracks and card data next to what may stay.
constexpr std::string_view kOlderBag =
    "CardData = \"%B4111111111111111^DOE/J^2512?\"\n"
    "CardDataMasked = \"%B4111********1111^DOE/J^?\"\n"
    "Track1Data = \"%B4111111111111111^DOE/J^2512?\"\n"
    "Track2Data = \";4111111111111111=2512?\"\n"
    "Track3Data = \";3\"\n"
    "EncTrack1Data = \"A55A\"\n"
    "DUKPTKSN = \"FFFF9876543210E00007\"\n";

std::string Resaved(const HostOptions& options) {
  EventLoop loop;
  Host host(loop, options);
  USBORVA control(host);
  PropertyBagFile bag = PropertyBagFile::Parse(kOlderBag, "till.bag");
  control.ReadProperties(bag);
  EXPECT_EQ(control.get_Track2Data(), u";4111111111111111=2512?");  // still loads
  control.WriteProperties(bag);
  control.Terminate();
  return bag.Format();
}

TEST(CardDataAtRestTest, DefaultHostSavesNoClearCardDataAndRemovesWhatAnOlderSaveLeft) {
  const std::string saved = Resaved(HostOptions{});
  for (const char* key :
       {"\nCardData =", "\nTrack1Data =", "\nTrack2Data =", "\nTrack3Data =", "4111111"}) {
    EXPECT_EQ(saved.find(key), std::string::npos) << key;
  }
  for (const char* key : {"\nCardDataMasked =", "\nEncTrack1Data =", "\nDUKPTKSN ="}) {
    EXPECT_NE(saved.find(key), std::string::npos) << key;
  }
}

TEST(CardDataAtRestTest, HostThatOptsInKeepsIt) {
  HostOptions options;
  options.persist_card_data = true;
  const std::string saved = Resaved(options);
  for (const char* key : {"\nCardData =", "\nTrack1Data =", "\nTrack2Data =", "\nTrack3Data ="}) {
    EXPECT_NE(saved.find(key), std::string::npos) << key;
  }
}

}  // namespace
}  // namespace usborva
