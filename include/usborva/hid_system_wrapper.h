// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_WRAPPER_H_
#define USBORVA_HID_SYSTEM_WRAPPER_H_

#include <cstdint>

#include "usborva/export.h"
#include "usborva/hid_system.h"

namespace usborva {

/// A HidSystem that passes every operation on, unchanged, to another one. Decorators of the
/// seam (a tap that watches traffic, a tracer, a fault injector) derive from it and override
/// only the operations they watch, so a new operation on the seam is one edit here rather
/// than one in every decorator.
///
/// The wrapper adds nothing to the contract of any operation: results, last errors and
/// buffer ownership are the target's. GetLastError() is forwarded too, so a decorator that
/// fails a call itself, without calling the target, must also override GetLastError() to
/// report the code it chose.
///
/// The target is not owned; it must outlive the wrapper. Like every HidSystem, a wrapper is
/// used from one thread.
class USBORVA_EXPORT HidSystemWrapper : public HidSystem {
 public:
  /// Forwards every call to target.
  explicit HidSystemWrapper(HidSystem& target) : target_(target) {}
  ~HidSystemWrapper() override = default;
  HidSystemWrapper(const HidSystemWrapper&) = delete;
  HidSystemWrapper& operator=(const HidSystemWrapper&) = delete;

  /// The system every call goes on to.
  HidSystem& target() const { return target_; }

  void HidD_GetHidGuid(Guid* hid_guid) override { target_.HidD_GetHidGuid(hid_guid); }
  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override {
    return target_.SetupDiGetClassDevsA(class_guid, flags);
  }
  bool SetupDiEnumDeviceInterfaces(Handle device_info_set, const Guid& interface_guid,
                                   int32_t member_index, DeviceInterfaceData* data) override {
    return target_.SetupDiEnumDeviceInterfaces(device_info_set, interface_guid, member_index, data);
  }
  bool SetupDiGetDeviceInterfaceDetailA(Handle device_info_set, const DeviceInterfaceData& data,
                                        uint8_t* buffer, uint32_t buffer_size,
                                        uint32_t* required_size) override {
    return target_.SetupDiGetDeviceInterfaceDetailA(device_info_set, data, buffer, buffer_size,
                                                    required_size);
  }
  bool SetupDiDestroyDeviceInfoList(Handle device_info_set) override {
    return target_.SetupDiDestroyDeviceInfoList(device_info_set);
  }

  Handle CreateFileA(const char* path, uint32_t desired_access, uint32_t share_mode,
                     const SecurityAttributes* security, uint32_t creation_disposition,
                     uint32_t flags_and_attributes) override {
    return target_.CreateFileA(path, desired_access, share_mode, security, creation_disposition,
                               flags_and_attributes);
  }
  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override {
    return target_.HidD_GetAttributes(device, attributes);
  }
  bool HidD_GetPreparsedData(Handle device, Handle* preparsed_data) override {
    return target_.HidD_GetPreparsedData(device, preparsed_data);
  }
  bool HidD_FreePreparsedData(Handle preparsed_data) override {
    return target_.HidD_FreePreparsedData(preparsed_data);
  }
  uint32_t HidP_GetCaps(Handle preparsed_data, HidCaps* caps) override {
    return target_.HidP_GetCaps(preparsed_data, caps);
  }

  Handle CreateEventA(bool manual_reset, bool initial_state) override {
    return target_.CreateEventA(manual_reset, initial_state);
  }
  bool ResetEvent(Handle event) override { return target_.ResetEvent(event); }
  bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                Overlapped* overlapped) override {
    return target_.ReadFile(device, buffer, bytes_to_read, bytes_read, overlapped);
  }
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override {
    return target_.GetOverlappedResult(device, overlapped, bytes, wait);
  }
  bool CancelIo(Handle device) override { return target_.CancelIo(device); }
  bool CloseHandle(Handle object) override { return target_.CloseHandle(object); }

  uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return target_.HidD_GetFeature(device, report, length);
  }
  uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return target_.HidD_SetFeature(device, report, length);
  }
  bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) override {
    return target_.HidD_GetSerialNumberString(device, buffer, length);
  }
  bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) override {
    return target_.HidD_GetProductString(device, buffer, length);
  }
  bool HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                             uint32_t length) override {
    return target_.HidD_GetIndexedString(device, string_index, buffer, length);
  }

  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override {
    return target_.GetPrivateProfileStringA(section, key, default_value, buffer, size, file_name);
  }

  uint32_t GetLastError() override { return target_.GetLastError(); }

 private:
  HidSystem& target_;
};

}  // namespace usborva

#endif  // USBORVA_HID_SYSTEM_WRAPPER_H_
