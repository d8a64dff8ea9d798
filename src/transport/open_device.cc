// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "automation/secure_wipe.h"
#include "transport/transport.h"

namespace usborva::transport {
namespace {

// Larger than any device path; a backend naming a larger detail is not believed.
constexpr uint32_t kMaxDetailSize = 64 * 1024;
constexpr uint32_t kSecurityAttributesSize = 12;

// The device path of the interface, or nullopt when the detail-size query does not answer
// as the Setup API does (the interface is skipped). The second query's result is not
// tested: a path that cannot be opened fails at the open.
std::optional<std::string> DevicePath(HidSystem& hid, Handle set, const DeviceInterfaceData& data) {
  uint32_t required = 0;
  if (hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required) ||
      hid.GetLastError() != kErrorInsufficientBuffer || required > kMaxDetailSize) {
    return std::nullopt;
  }
  // One byte more than asked for keeps the path terminated whatever the backend writes;
  // never less than the header the cbSize goes into.
  std::vector<uint8_t> detail(std::max(required, kDetailDataCbSize32) + 1, 0);
  std::memcpy(detail.data(), &kDetailDataCbSize32, sizeof kDetailDataCbSize32);
  uint32_t required_again = 0;
  hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, &required_again);
  return std::string(reinterpret_cast<const char*>(detail.data() + kDetailDataPathOffset));
}

Handle OpenPath(HidSystem& hid, DeviceRecord& record, const std::string& path) {
  // Not inheritable: a child process of the host must never hold the payment terminal.
  record.DeviceSecurity = SecurityAttributes{kSecurityAttributesSize, 0, 0};
  for (uint32_t access : {kGenericRead | kGenericWrite, 0u}) {
    Handle device = hid.CreateFileA(path.c_str(), access, kFileShareRead | kFileShareWrite,
                                    &record.DeviceSecurity, kOpenExisting, kFileFlagOverlapped);
    if (device != kInvalidHandleValue) return device;
  }
  return kInvalidHandleValue;
}

// Opens the candidate and keeps it when it passes every test; a candidate that fails one
// is closed again.
void TryCandidate(HidSystem& hid, DeviceRecord& record, const std::string& path) {
  record.DeviceHandle = OpenPath(hid, record, path);
  if (record.DeviceHandle == kInvalidHandleValue) return;
  record.DeviceAttributes.Size = kHidAttributesSize;
  if (!hid.HidD_GetAttributes(record.DeviceHandle, &record.DeviceAttributes) ||
      !IsSupportedDevice(record.DeviceAttributes.VendorID, record.DeviceAttributes.ProductID) ||
      !hid.HidD_GetPreparsedData(record.DeviceHandle, &record.PreparsedData)) {
    CloseDevice();
    return;
  }
  // Read into a copy: the record keeps the last opened device's caps if these fail.
  HidCaps caps = record.DeviceCaps;
  if (hid.HidP_GetCaps(record.PreparsedData, &caps) != kHidpStatusSuccess) {
    CloseDevice();
    return;
  }
  record.DeviceCaps = caps;
}

}  // namespace

void OpenDevice() {
  DeviceRecord& record = ThreadDeviceRecord();
  // Never a second handle over one still held.
  if (record.DeviceHandle != kInvalidHandleValue && record.DeviceHandle != 0) return;
  record.DeviceHandle = kInvalidHandleValue;
  HidSystem& hid = ThreadHidSystem();
  Guid hid_guid;
  hid.HidD_GetHidGuid(&hid_guid);
  Handle set = hid.SetupDiGetClassDevsA(hid_guid, kDigcfPresent | kDigcfDeviceInterface);
  if (set == kInvalidHandleValue) return;
  for (int32_t index = 0; record.DeviceHandle == kInvalidHandleValue; ++index) {
    DeviceInterfaceData data;
    data.cbSize = kDeviceInterfaceDataSize32;
    if (!hid.SetupDiEnumDeviceInterfaces(set, hid_guid, index, &data)) break;
    std::optional<std::string> path = DevicePath(hid, set, data);
    if (path) TryCandidate(hid, record, *path);
  }
  hid.SetupDiDestroyDeviceInfoList(set);
}

void CloseDevice() {
  DeviceRecord& record = ThreadDeviceRecord();
  HidSystem& hid = ThreadHidSystem();
  if (record.DeviceHandle != kInvalidHandleValue) {
    if (record.ReadPending) {
      record.ReadPending = false;
      // Once CancelIo returns the driver has let go of InputReport and ReadOverlapped.
      hid.CancelIo(record.DeviceHandle);
    }
    hid.CloseHandle(record.DeviceHandle);
    record.DeviceHandle = kInvalidHandleValue;
  }
  if (record.PreparsedData != 0) {
    hid.HidD_FreePreparsedData(record.PreparsedData);
    record.PreparsedData = 0;
  }
  // The last report may be a card's tracks or a PIN block: it must not outlive the device
  // in memory (or in a core file). With the read cancelled above the buffer is ours again;
  // its size stays, since a reconnect resizes it anyway.
  if (!record.ReadPending) automation_internal::SecureWipe(record.InputReport);
}

}  // namespace usborva::transport
