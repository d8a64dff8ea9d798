// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "automation/secure_wipe.h"
#include "transport/open_findings.h"
#include "transport/transport.h"

namespace usborva::transport {
namespace {

constexpr uint32_t kInterfaceDataSize = 28;  // SP_DEVICE_INTERFACE_DATA, 32-bit layout
constexpr uint32_t kDetailDataSize = 5;      // SP_DEVICE_INTERFACE_DETAIL_DATA_A, 32-bit
constexpr uint32_t kDevicePathOffset = 4;
// Larger than any device path; a backend naming a larger detail is not believed.
constexpr uint32_t kMaxDetailSize = 64 * 1024;
constexpr uint32_t kAttributesSize = 12;
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
  std::vector<uint8_t> detail(std::max(required, kDetailDataSize) + 1, 0);
  std::memcpy(detail.data(), &kDetailDataSize, sizeof kDetailDataSize);
  uint32_t required_again = 0;
  hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, &required_again);
  return std::string(reinterpret_cast<const char*>(detail.data() + kDevicePathOffset));
}

// The device opened with read and write access, or else with access 0. *read_write_error
// is the last error of the refused read/write open, 0 when it succeeded.
Handle OpenPath(HidSystem& hid, DeviceRecord& record, const std::string& path,
                uint32_t* read_write_error) {
  // Not inheritable: a child process of the host must never hold the payment terminal.
  record.DeviceSecurity = SecurityAttributes{kSecurityAttributesSize, 0, 0};
  *read_write_error = 0;
  for (uint32_t access : {kGenericRead | kGenericWrite, 0u}) {
    Handle device = hid.CreateFileA(path.c_str(), access, kFileShareRead | kFileShareWrite,
                                    &record.DeviceSecurity, kOpenExisting, kFileFlagOverlapped);
    if (device != kInvalidHandleValue) return device;
    if (access != 0) *read_write_error = hid.GetLastError();
  }
  return kInvalidHandleValue;
}

// Gives up a candidate that failed step after it was opened.
void DropCandidate(HidSystem& hid, const std::string& path, const char* step,
                   OpenFindings& findings) {
  findings.SetupFailed(path, step, hid.GetLastError());
  CloseDevice();
}

// Opens the candidate and keeps it when it passes every test; a candidate that fails one
// is closed again.
void TryCandidate(HidSystem& hid, DeviceRecord& record, const std::string& path,
                  OpenFindings& findings) {
  findings.Candidate();
  uint32_t read_write_error = 0;
  record.DeviceHandle = OpenPath(hid, record, path, &read_write_error);
  if (record.DeviceHandle == kInvalidHandleValue) {
    return findings.Unopened(path, hid.GetLastError());
  }
  record.DeviceAttributes.Size = kAttributesSize;
  if (!hid.HidD_GetAttributes(record.DeviceHandle, &record.DeviceAttributes)) {
    return DropCandidate(hid, path, "attributes", findings);
  }
  const MatchVerdict verdict =
      JudgeDevice(record.DeviceAttributes.VendorID, record.DeviceAttributes.ProductID);
  findings.Judged(path, record.DeviceAttributes, verdict);
  if (verdict != MatchVerdict::kSupported) {
    CloseDevice();
    return;
  }
  if (!hid.HidD_GetPreparsedData(record.DeviceHandle, &record.PreparsedData)) {
    return DropCandidate(hid, path, "report descriptor", findings);
  }
  // Read into a copy: the record keeps the last opened device's caps if these fail.
  HidCaps caps = record.DeviceCaps;
  if (hid.HidP_GetCaps(record.PreparsedData, &caps) != kHidpStatusSuccess) {
    return DropCandidate(hid, path, "capabilities", findings);
  }
  record.DeviceCaps = caps;
  record.Observed.device_path = path;
  findings.Opened(path, read_write_error);
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
  OpenFindings findings;
  Handle set = hid.SetupDiGetClassDevsA(hid_guid, kDigcfPresent | kDigcfDeviceInterface);
  if (set == kInvalidHandleValue) {
    findings.NoDeviceList(hid.GetLastError());
    return findings.Finish(record);
  }
  for (int32_t index = 0; record.DeviceHandle == kInvalidHandleValue; ++index) {
    DeviceInterfaceData data;
    data.cbSize = kInterfaceDataSize;
    if (!hid.SetupDiEnumDeviceInterfaces(set, hid_guid, index, &data)) break;
    std::optional<std::string> path = DevicePath(hid, set, data);
    if (path) TryCandidate(hid, record, *path, findings);
  }
  hid.SetupDiDestroyDeviceInfoList(set);
  findings.Finish(record);
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
