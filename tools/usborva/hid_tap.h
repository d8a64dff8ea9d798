// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_HID_TAP_H_
#define USBORVA_TOOLS_HID_TAP_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "usborva/hid_system.h"

namespace usborva::cli {

// Sits between the control and the platform's HID stack and watches, without changing
// anything, what a person running the tool wants to know beyond what the control tells its
// host (the connection notifications say when the terminal is lost or back, and why an open
// failed): how many input reports arrived, the report lengths, the device path. Every call
// goes on to the wrapped system unchanged.
class HidTap final : public HidSystem {
 public:
  // kConnected: the first time the control reads from a terminal; kReconnected: again
  // after a loss.
  enum class Change { kConnected, kLost, kReconnected, kReport };
  using Observer = std::function<void(Change)>;

  explicit HidTap(HidSystem& inner) : inner_(inner) {}

  void set_observer(Observer observer) { observer_ = std::move(observer); }

  bool connected() const { return connected_; }
  uint64_t reports() const { return reports_; }
  uint64_t connections() const { return connections_; }
  // The caps of the last device whose caps were read.
  const HidCaps& caps() const { return caps_; }
  // The path of the last device opened (the terminal the control holds, after an open).
  const std::string& opened_path() const { return opened_path_; }
  // The path of the device the control reads from (the last one it issued a read on).
  const std::string& device_path() const { return device_path_; }

  void HidD_GetHidGuid(Guid* hid_guid) override { inner_.HidD_GetHidGuid(hid_guid); }
  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override {
    return inner_.SetupDiGetClassDevsA(class_guid, flags);
  }
  bool SetupDiEnumDeviceInterfaces(Handle set, const Guid& guid, int32_t index,
                                   DeviceInterfaceData* data) override {
    return inner_.SetupDiEnumDeviceInterfaces(set, guid, index, data);
  }
  bool SetupDiGetDeviceInterfaceDetailA(Handle set, const DeviceInterfaceData& data,
                                        uint8_t* buffer, uint32_t size,
                                        uint32_t* required) override {
    return inner_.SetupDiGetDeviceInterfaceDetailA(set, data, buffer, size, required);
  }
  bool SetupDiDestroyDeviceInfoList(Handle set) override {
    return inner_.SetupDiDestroyDeviceInfoList(set);
  }
  Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                     const SecurityAttributes* security, uint32_t disposition,
                     uint32_t flags) override;
  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override {
    return inner_.HidD_GetAttributes(device, attributes);
  }
  bool HidD_GetPreparsedData(Handle device, Handle* preparsed) override {
    return inner_.HidD_GetPreparsedData(device, preparsed);
  }
  bool HidD_FreePreparsedData(Handle preparsed) override {
    return inner_.HidD_FreePreparsedData(preparsed);
  }
  uint32_t HidP_GetCaps(Handle preparsed, HidCaps* caps) override;
  Handle CreateEventA(bool manual_reset, bool initial_state) override {
    return inner_.CreateEventA(manual_reset, initial_state);
  }
  bool ResetEvent(Handle event) override { return inner_.ResetEvent(event); }
  bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                Overlapped* overlapped) override;
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override;
  bool CancelIo(Handle device) override { return inner_.CancelIo(device); }
  bool CloseHandle(Handle object) override;
  uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return inner_.HidD_GetFeature(device, report, length);
  }
  uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return inner_.HidD_SetFeature(device, report, length);
  }
  bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) override {
    return inner_.HidD_GetSerialNumberString(device, buffer, length);
  }
  bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) override {
    return inner_.HidD_GetProductString(device, buffer, length);
  }
  bool HidD_GetIndexedString(Handle device, uint32_t index, void* buffer,
                             uint32_t length) override {
    return inner_.HidD_GetIndexedString(device, index, buffer, length);
  }
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override {
    return inner_.GetPrivateProfileStringA(section, key, default_value, buffer, size, file_name);
  }
  uint32_t GetLastError() override { return inner_.GetLastError(); }

 private:
  void Reading(Handle device);
  void Completed();
  void Failed();
  void Tell(Change change) {
    if (observer_) observer_(change);
  }

  HidSystem& inner_;
  Observer observer_;
  std::map<Handle, std::string> paths_;  // open device handles
  std::optional<Handle> reading_;        // the handle the control reads from
  bool connected_ = false;
  uint64_t reports_ = 0;
  uint64_t connections_ = 0;
  HidCaps caps_;
  std::string device_path_;
  std::string opened_path_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_HID_TAP_H_
