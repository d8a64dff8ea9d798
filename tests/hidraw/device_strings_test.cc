// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/hidraw/string_buffer.h"
#include "platform/hidraw/sysfs.h"
#include "platform/hidraw/usbfs.h"
#include "usborva/variant.h"

namespace usborva::hidraw {
namespace {

// The buffer the port-open sequence hands to the string calls: 128 bytes, pre-filled here
// with a marker so untouched bytes show.
std::vector<uint8_t> Deliver(const std::u16string& text, uint32_t length = 128) {
  std::vector<uint8_t> buffer(length, 0xEE);
  EXPECT_TRUE(CopyToStringBuffer(text, buffer.data(), length));
  return buffer;
}

TEST(StringBufferTest, ShortTextIsNulTerminated) {
  const std::vector<uint8_t> buffer = Deliver(u"ABC123");
  const std::vector<uint8_t> expected = {'A', 0, 'B', 0, 'C', 0, '1', 0, '2', 0, '3', 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 14), expected);
  EXPECT_EQ(buffer[14], 0xEE);
}

TEST(StringBufferTest, TruncationFollowsTheBufferSize) {
  struct Case {
    size_t characters;
    uint32_t length;
    bool nul_expected;
  };
  for (const Case& c : {Case{63, 128, true}, Case{64, 128, false}, Case{90, 128, false},
                        Case{2, 5, false}, Case{1, 5, true}}) {
    SCOPED_TRACE(testing::Message() << c.characters << " characters into " << c.length);
    const std::vector<uint8_t> buffer = Deliver(std::u16string(c.characters, u'x'), c.length);
    const size_t written = std::min<size_t>(c.characters, c.length / 2);
    for (size_t i = 0; i < written; ++i) ASSERT_EQ(buffer[2 * i], 'x');
    const bool has_nul =
        written < c.length / 2 && buffer[2 * written] == 0 && buffer[2 * written + 1] == 0;
    EXPECT_EQ(has_nul, c.nul_expected);
    if (c.length % 2 == 1) {
      EXPECT_EQ(buffer.back(), 0xEE);  // the odd byte is never written
    }
  }
}

TEST(StringBufferTest, RefusesABufferWithoutRoomForOneCharacter) {
  uint8_t byte = 0xEE;
  EXPECT_FALSE(CopyToStringBuffer(u"A", &byte, 1));
  EXPECT_FALSE(CopyToStringBuffer(u"A", nullptr, 128));
  EXPECT_EQ(byte, 0xEE);
}

// sysfs attributes reach the string calls through the product's one UTF-8 codec.
TEST(Utf8ToUtf16Test, DecodesDeviceStrings) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  for (const Case& c : {
           Case{"Terminal 4C21", u"Terminal 4C21"},
           Case{"Caf\xC3\xA9 \xE2\x82\xAC", u"Caf\u00E9 \u20AC"},
           Case{"\xF0\x9F\x92\xB3", u"\U0001F4B3"},  // surrogate pair
           Case{"a\xFF"
                "b",
                u"a\uFFFDb"},                            // stray byte
           Case{"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
           Case{"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
           Case{"\xE2\x82", u"\uFFFD"},  // cut short: one U+FFFD for the maximal prefix
       }) {
    EXPECT_EQ(Utf8ToString(c.utf8), c.utf16) << c.utf8;
  }
}

TEST(HidUeventTest, ReadsIdNameAndUniq) {
  const HidUevent uevent = ParseHidUevent(
      "DRIVER=hid-generic\nHID_ID=0003:00002A5C:0000CC21\nHID_NAME=Maker Terminal\n"
      "HID_PHYS=usb-0000:00:14.0-1/input0\nHID_UNIQ=SN0042\nMODALIAS=hid:b0003\n");
  EXPECT_TRUE(uevent.has_id);
  EXPECT_EQ(uevent.bus, 3u);
  EXPECT_EQ(uevent.vendor, 0x2A5Cu);
  EXPECT_EQ(uevent.product, 0xCC21u);
  EXPECT_EQ(uevent.name, "Maker Terminal");
  EXPECT_EQ(uevent.uniq, "SN0042");
  EXPECT_EQ(uevent.phys, "usb-0000:00:14.0-1/input0");
}

TEST(HidUeventTest, MalformedIdIsNoId) {
  for (const char* text : {"HID_ID=0003:2A5C", "HID_ID=0003:00002A5C:XYZ", "HID_ID=:1:2",
                           "HID_ID=0003:000000002A5C:1", ""}) {
    EXPECT_FALSE(ParseHidUevent(text).has_id) << text;
  }
}

std::optional<std::u16string> Decode(std::vector<uint8_t> bytes) {
  return DecodeStringDescriptor(bytes);
}

TEST(StringDescriptorTest, DecodesWithinBothLengths) {
  EXPECT_EQ(Decode({10, 3, 'V', 0, '1', 0, '.', 0, '2', 0}), u"V1.2");
  // bLength beyond the bytes received: only what arrived.
  EXPECT_EQ(Decode({20, 3, 'A', 0, 'B'}), u"A");
  // bLength shorter than what arrived: the rest is not the string's.
  EXPECT_EQ(Decode({4, 3, 'A', 0, 'B', 0}), u"A");
  EXPECT_EQ(Decode({2, 3}), u"");
  EXPECT_EQ(Decode({10, 2, 'A', 0}), std::nullopt);  // not a string
  EXPECT_EQ(Decode({1, 3}), std::nullopt);
  EXPECT_EQ(Decode({}), std::nullopt);
}

}  // namespace
}  // namespace usborva::hidraw
