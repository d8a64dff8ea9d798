// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_NULL_NULL_HID_SYSTEM_H_
#define USBORVA_PLATFORM_NULL_NULL_HID_SYSTEM_H_

#include <set>

#include "usborva/hid_system.h"

namespace usborva::null {

// The machine a build without a native backend runs on: no HID interfaces at all. Events
// exist (so the port can be prepared and polling can wait for a terminal that never comes)
// and the configuration file is read from the configuration directory. Every other
// operation fails with kErrorInvalidHandle (an open with kErrorFileNotFound, caps with
// kHidpStatusInvalidPreparsedData); nothing blocks, and only sets and events are issued.
class NullHidSystem : public HidSystem {
 public:
  void HidD_GetHidGuid(Guid* hid_guid) override;
  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override;
  bool SetupDiEnumDeviceInterfaces(Handle device_info_set, const Guid& interface_guid,
                                   int32_t member_index, DeviceInterfaceData* data) override;
  bool SetupDiGetDeviceInterfaceDetailA(Handle device_info_set, const DeviceInterfaceData& data,
                                        uint8_t* buffer, uint32_t buffer_size,
                                        uint32_t* required_size) override;
  bool SetupDiDestroyDeviceInfoList(Handle device_info_set) override;
  Handle CreateFileA(const char* path, uint32_t desired_access, uint32_t share_mode,
                     const SecurityAttributes* security, uint32_t creation_disposition,
                     uint32_t flags_and_attributes) override;
  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override;
  bool HidD_GetPreparsedData(Handle device, Handle* preparsed_data) override;
  bool HidD_FreePreparsedData(Handle preparsed_data) override;
  uint32_t HidP_GetCaps(Handle preparsed_data, HidCaps* caps) override;
  Handle CreateEventA(bool manual_reset, bool initial_state) override;
  bool ResetEvent(Handle event) override;
  bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                Overlapped* overlapped) override;
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override;
  bool CancelIo(Handle device) override;
  bool CloseHandle(Handle object) override;
  uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) override;
  uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) override;
  bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) override;
  bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) override;
  bool HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                             uint32_t length) override;
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override;
  uint32_t GetLastError() override { return last_error_; }

 private:
  bool Fail(uint32_t error);
  Handle Issue();

  std::set<Handle> sets_;
  std::set<Handle> events_;
  Handle next_handle_ = 0x1000;
  uint32_t last_error_ = 0;
};

}  // namespace usborva::null

#endif  // USBORVA_PLATFORM_NULL_NULL_HID_SYSTEM_H_
