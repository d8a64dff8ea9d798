// SPDX-License-Identifier: Apache-2.0
#include "transport/candidate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "automation/secure_wipe.h"
#include "transport/transport.h"

namespace usborva::transport {
namespace {

// Larger than any device path; a backend naming a larger detail is not believed.
constexpr uint32_t kMaxDetailSize = 64 * 1024;
constexpr uint32_t kSecurityAttributesSize = 12;
constexpr uint32_t kStringBufferLength = 128;

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

// Destroys the device-information set however the walk over it ends.
class InfoSetGuard {
 public:
  InfoSetGuard(HidSystem& hid, Handle set) : hid_(hid), set_(set) {}
  ~InfoSetGuard() { hid_.SetupDiDestroyDeviceInfoList(set_); }
  InfoSetGuard(const InfoSetGuard&) = delete;
  InfoSetGuard& operator=(const InfoSetGuard&) = delete;

 private:
  HidSystem& hid_;
  Handle set_;
};

Handle OpenPath(HidSystem& hid, DeviceRecord& record, const std::string& path,
                CandidateOutcome& outcome) {
  // Not inheritable: a child process of the host must never hold the payment terminal.
  record.DeviceSecurity = SecurityAttributes{kSecurityAttributesSize, 0, 0};
  for (uint32_t access : {kGenericRead | kGenericWrite, 0u}) {
    Handle device = hid.CreateFileA(path.c_str(), access, kFileShareRead | kFileShareWrite,
                                    &record.DeviceSecurity, kOpenExisting, kFileFlagOverlapped);
    if (device != kInvalidHandleValue) {
      outcome.read_write = access != 0;
      return device;
    }
    if (access != 0) outcome.access_error = hid.GetLastError();
  }
  return kInvalidHandleValue;
}

// The choice, applied after the matching rules: a path is compared as given, a serial
// number is asked of the device only when the choice names one.
bool Chosen(HidSystem& hid, Handle device, const std::string& path, const TerminalChoice& choice) {
  if (!choice.device_path.empty() && choice.device_path != path) return false;
  if (choice.serial_number.empty()) return true;
  return ReadHidString(hid, device, HidString::kSerialNumber) == choice.serial_number;
}

void Describe(HidSystem& hid, const DeviceRecord& record, DiscoveredInterface& seen) {
  seen.identified = true;
  seen.vendor_id = record.DeviceAttributes.VendorID;
  seen.product_id = record.DeviceAttributes.ProductID;
  seen.product = ReadHidString(hid, record.DeviceHandle, HidString::kProduct);
  seen.serial = ReadHidString(hid, record.DeviceHandle, HidString::kSerialNumber);
}

// Gives the candidate up with the verdict, keeping the last error of the failed step.
CandidateOutcome Refuse(HidSystem& hid, DeviceRecord& record, CandidateOutcome outcome,
                        InterfaceVerdict verdict, bool with_error) {
  outcome.verdict = verdict;
  if (with_error) outcome.error = hid.GetLastError();
  CloseRecord(hid, record);
  return outcome;
}

}  // namespace

bool ForEachInterfacePath(HidSystem& hid, const std::function<bool(const std::string&)>& visit) {
  Guid hid_guid;
  hid.HidD_GetHidGuid(&hid_guid);
  const Handle set = hid.SetupDiGetClassDevsA(hid_guid, kDigcfPresent | kDigcfDeviceInterface);
  if (set == kInvalidHandleValue) return false;
  InfoSetGuard guard(hid, set);
  for (int32_t index = 0;; ++index) {
    DeviceInterfaceData data;
    data.cbSize = kDeviceInterfaceDataSize32;
    if (!hid.SetupDiEnumDeviceInterfaces(set, hid_guid, index, &data)) break;
    const std::optional<std::string> path = DevicePath(hid, set, data);
    if (path && !visit(*path)) break;
  }
  return true;
}

CandidateOutcome TryCandidate(HidSystem& hid, DeviceRecord& record, const std::string& path,
                              const TerminalChoice& choice, DiscoveredInterface* seen) {
  CandidateOutcome outcome;
  record.DeviceHandle = OpenPath(hid, record, path, outcome);
  if (record.DeviceHandle == kInvalidHandleValue) {
    outcome.error = hid.GetLastError();
    return outcome;
  }
  record.DeviceAttributes.Size = kHidAttributesSize;
  if (!hid.HidD_GetAttributes(record.DeviceHandle, &record.DeviceAttributes)) {
    return Refuse(hid, record, outcome, InterfaceVerdict::kCannotIdentify, true);
  }
  if (seen != nullptr) Describe(hid, record, *seen);
  const HidAttributes& ids = record.DeviceAttributes;
  const InterfaceVerdict verdict = MatchDevice(ids.VendorID, ids.ProductID);
  if (verdict != InterfaceVerdict::kSupported) return Refuse(hid, record, outcome, verdict, false);
  if (!choice.Any() && !Chosen(hid, record.DeviceHandle, path, choice)) {
    return Refuse(hid, record, outcome, InterfaceVerdict::kNotChosen, false);
  }
  if (!hid.HidD_GetPreparsedData(record.DeviceHandle, &record.PreparsedData)) {
    return Refuse(hid, record, outcome, InterfaceVerdict::kNoCapabilities, true);
  }
  // Read into a copy: the record keeps the last opened device's caps if these fail.
  HidCaps caps = record.DeviceCaps;
  if (hid.HidP_GetCaps(record.PreparsedData, &caps) != kHidpStatusSuccess) {
    return Refuse(hid, record, outcome, InterfaceVerdict::kNoCapabilities, false);
  }
  record.DeviceCaps = caps;
  outcome.verdict = InterfaceVerdict::kSupported;
  return outcome;
}

void CloseRecord(HidSystem& hid, DeviceRecord& record) {
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

std::optional<String> ReadHidString(HidSystem& hid, Handle device, HidString which) {
  // Two spare zero bytes keep the text terminated whatever the backend writes.
  std::array<uint8_t, kStringBufferLength + 2> buffer{};
  const bool ok = which == HidString::kProduct
                      ? hid.HidD_GetProductString(device, buffer.data(), kStringBufferLength)
                      : hid.HidD_GetSerialNumberString(device, buffer.data(), kStringBufferLength);
  if (!ok) return std::nullopt;
  String text;
  for (size_t i = 0; i + 1 < kStringBufferLength; i += 2) {
    const auto unit = static_cast<char16_t>(buffer[i] | buffer[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace usborva::transport
