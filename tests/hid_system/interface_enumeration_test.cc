// SPDX-License-Identifier: Apache-2.0
#include "hid_system/interface_enumeration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace usborva::hid_system {
namespace {

TEST(InterfaceEnumerationTest, RecordsNameTheirMemberAndEnumerationEndsAfterTheLast) {
  EXPECT_TRUE(ListsHidInterfaces(kHidInterfaceGuid, kDigcfPresent | kDigcfDeviceInterface));
  EXPECT_FALSE(ListsHidInterfaces(kHidInterfaceGuid, kDigcfPresent));
  EXPECT_FALSE(ListsHidInterfaces(Guid{}, kDigcfDeviceInterface));

  DeviceInterfaceData data;
  data.cbSize = kDeviceInterfaceDataSize32;
  ASSERT_EQ(EnumerateInterface(2, kHidInterfaceGuid, 1, &data), 0u);
  EXPECT_EQ(data.cbSize, kDeviceInterfaceDataSize32);
  EXPECT_EQ(data.InterfaceClassGuid, kHidInterfaceGuid);
  EXPECT_EQ(InterfaceMember(data, 2), 1u);
  EXPECT_EQ(InterfaceMember(data, 1), std::nullopt);  // another, smaller set
  EXPECT_EQ(InterfaceMember(DeviceInterfaceData{}, 2), std::nullopt);

  EXPECT_EQ(EnumerateInterface(2, kHidInterfaceGuid, 2, &data), kErrorNoMoreItems);
  EXPECT_EQ(EnumerateInterface(2, kHidInterfaceGuid, -1, &data), kErrorNoMoreItems);
  EXPECT_EQ(EnumerateInterface(2, Guid{}, 0, &data), kErrorNoMoreItems);
  EXPECT_EQ(EnumerateInterface(2, kHidInterfaceGuid, 0, nullptr), kErrorInvalidParameter);
}

TEST(InterfaceEnumerationTest, DetailQueryAnswersTheSizeThenWritesThePathOnlyWhenAllIsRight) {
  const std::string path = "/dev/hidraw3";
  const uint32_t needed = 4 + static_cast<uint32_t>(path.size()) + 1;
  uint32_t required = 0;
  EXPECT_EQ(WriteInterfaceDetail(path, nullptr, 0, &required), kErrorInsufficientBuffer);
  EXPECT_EQ(required, needed);
  EXPECT_EQ(WriteInterfaceDetail(path, nullptr, needed, nullptr), kErrorInvalidParameter);

  std::vector<uint8_t> detail(needed, 0xAA);
  EXPECT_EQ(WriteInterfaceDetail(path, detail.data(), 3, nullptr), kErrorInvalidParameter);
  std::memcpy(detail.data(), "\0\0\0\0", 4);
  EXPECT_EQ(WriteInterfaceDetail(path, detail.data(), needed, nullptr), kErrorInvalidUserBuffer);
  for (uint32_t cb_size : {kDetailDataCbSize32, kDetailDataCbSize64}) {
    std::fill(detail.begin(), detail.end(), 0xAA);
    std::memcpy(detail.data(), &cb_size, sizeof cb_size);
    EXPECT_EQ(WriteInterfaceDetail(path, detail.data(), needed - 1, nullptr),
              kErrorInsufficientBuffer);
    EXPECT_EQ(detail[4], 0xAA);  // a refused call writes nothing
    ASSERT_EQ(WriteInterfaceDetail(path, detail.data(), needed, nullptr), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(detail.data() + 4)), path);
    EXPECT_EQ(detail.back(), 0);
  }
}

}  // namespace
}  // namespace usborva::hid_system
