// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_INTERFACE_ENUMERATION_H_
#define USBORVA_HID_SYSTEM_INTERFACE_ENUMERATION_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "usborva/hid_system.h"

namespace usborva::hid_system {

// The Setup API's device-interface enumeration, for backends that have no Setup API and
// emulate it over their own list of devices. A backend keeps its device information sets
// (each a list of members, fixed when the set is made) and its last error; these functions
// decide everything the caller's records and buffers can get wrong, the same way for every
// backend. Each answers 0 for success or the last error the backend must report.

// Whether a set made for class_guid with flags lists any interfaces: only the HID device
// interface class is known, and only as interfaces (kDigcfDeviceInterface).
bool ListsHidInterfaces(const Guid& class_guid, uint32_t flags);

// SetupDiEnumDeviceInterfaces on a set of member_count members: fills data (class, active
// flag, and in Reserved the member's position for the detail query) for member member_index.
// kErrorInvalidParameter for a null data, kErrorNoMoreItems past the last member or for any
// interface class but HID's. data->cbSize is the caller's and is left alone.
uint32_t EnumerateInterface(size_t member_count, const Guid& interface_guid, int32_t member_index,
                            DeviceInterfaceData* data);

// The position, within a set of member_count members, of the member a record from
// EnumerateInterface names; nullopt (kErrorInvalidParameter) for a record it did not fill.
std::optional<size_t> InterfaceMember(const DeviceInterfaceData& data, size_t member_count);

// SetupDiGetDeviceInterfaceDetailA for the member whose device path is device_path: the
// size dance, then SP_DEVICE_INTERFACE_DETAIL_DATA_A (cbSize in the first four bytes, the
// zero-terminated path from byte 4). *required_size (when given) is always set. Without a
// buffer: kErrorInsufficientBuffer when buffer_size is 0, else kErrorInvalidParameter. With
// one: kErrorInvalidParameter when it cannot hold the cbSize, kErrorInvalidUserBuffer unless
// cbSize is the 32- or 64-bit layout's, kErrorInsufficientBuffer when the path does not fit.
// Nothing is written to buffer unless the call succeeds.
uint32_t WriteInterfaceDetail(std::string_view device_path, uint8_t* buffer, uint32_t buffer_size,
                              uint32_t* required_size);

}  // namespace usborva::hid_system

#endif  // USBORVA_HID_SYSTEM_INTERFACE_ENUMERATION_H_
