// SPDX-License-Identifier: Apache-2.0
#include "hid_system/interface_enumeration.h"

#include <cstring>

namespace usborva::hid_system {
namespace {

constexpr uint32_t kSpintActive = 1;  // SP_DEVICE_INTERFACE_DATA.Flags: the interface is active

}  // namespace

bool ListsHidInterfaces(const Guid& class_guid, uint32_t flags) {
  return class_guid == kHidInterfaceGuid && (flags & kDigcfDeviceInterface) != 0;
}

uint32_t EnumerateInterface(size_t member_count, const Guid& interface_guid, int32_t member_index,
                            DeviceInterfaceData* data) {
  if (data == nullptr) return kErrorInvalidParameter;
  if (interface_guid != kHidInterfaceGuid || member_index < 0 ||
      static_cast<size_t>(member_index) >= member_count) {
    return kErrorNoMoreItems;
  }
  data->InterfaceClassGuid = kHidInterfaceGuid;
  data->Flags = kSpintActive;
  // Names the member to the detail query: its position in the set, plus one, so that a
  // record never filled (Reserved 0) names none.
  data->Reserved = static_cast<uintptr_t>(member_index) + 1;
  return 0;
}

std::optional<size_t> InterfaceMember(const DeviceInterfaceData& data, size_t member_count) {
  if (data.Reserved == 0 || data.Reserved > member_count) return std::nullopt;
  return static_cast<size_t>(data.Reserved - 1);
}

uint32_t WriteInterfaceDetail(std::string_view device_path, uint8_t* buffer, uint32_t buffer_size,
                              uint32_t* required_size) {
  const uint32_t needed = kDetailDataPathOffset + static_cast<uint32_t>(device_path.size()) + 1;
  if (required_size != nullptr) *required_size = needed;
  if (buffer == nullptr)
    return buffer_size == 0 ? kErrorInsufficientBuffer : kErrorInvalidParameter;
  if (buffer_size < kDetailDataPathOffset) return kErrorInvalidParameter;
  uint32_t cb_size = 0;
  std::memcpy(&cb_size, buffer, sizeof cb_size);
  if (cb_size != kDetailDataCbSize32 && cb_size != kDetailDataCbSize64) {
    return kErrorInvalidUserBuffer;
  }
  if (buffer_size < needed) return kErrorInsufficientBuffer;
  std::memcpy(buffer + kDetailDataPathOffset, device_path.data(), device_path.size());
  buffer[needed - 1] = 0;
  return 0;
}

}  // namespace usborva::hid_system
