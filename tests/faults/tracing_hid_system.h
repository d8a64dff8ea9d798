// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_FAULTS_TRACING_HID_SYSTEM_H_
#define USBORVA_TESTS_FAULTS_TRACING_HID_SYSTEM_H_

#include <vector>

#include "usborva/hid_system_wrapper.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::faults {

// Passes every call on to a simulated machine (GetLastError too, unrecorded) and remembers
// which operation each was, so that a fault scheduled for the k-th call can be named by the
// operation it hit.
class TracingHidSystem : public HidSystemWrapper {
 public:
  explicit TracingHidSystem(SimulatedHidSystem& machine) : HidSystemWrapper(machine) {}

  // The operation of each call, first call first.
  const std::vector<sim::Op>& trace() const { return trace_; }

  void HidD_GetHidGuid(Guid* hid_guid) override {
    Note(sim::Op::kGetHidGuid);
    HidSystemWrapper::HidD_GetHidGuid(hid_guid);
  }
  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override {
    Note(sim::Op::kGetClassDevs);
    return HidSystemWrapper::SetupDiGetClassDevsA(class_guid, flags);
  }
  bool SetupDiEnumDeviceInterfaces(Handle set, const Guid& guid, int32_t index,
                                   DeviceInterfaceData* data) override {
    Note(sim::Op::kEnumDeviceInterfaces);
    return HidSystemWrapper::SetupDiEnumDeviceInterfaces(set, guid, index, data);
  }
  bool SetupDiGetDeviceInterfaceDetailA(Handle set, const DeviceInterfaceData& data,
                                        uint8_t* buffer, uint32_t size,
                                        uint32_t* required) override {
    Note(sim::Op::kGetDeviceInterfaceDetail);
    return HidSystemWrapper::SetupDiGetDeviceInterfaceDetailA(set, data, buffer, size, required);
  }
  bool SetupDiDestroyDeviceInfoList(Handle set) override {
    Note(sim::Op::kDestroyDeviceInfoList);
    return HidSystemWrapper::SetupDiDestroyDeviceInfoList(set);
  }
  Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                     const SecurityAttributes* security, uint32_t disposition,
                     uint32_t flags) override {
    Note(sim::Op::kCreateFile);
    return HidSystemWrapper::CreateFileA(path, access, share, security, disposition, flags);
  }
  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override {
    Note(sim::Op::kGetAttributes);
    return HidSystemWrapper::HidD_GetAttributes(device, attributes);
  }
  bool HidD_GetPreparsedData(Handle device, Handle* preparsed) override {
    Note(sim::Op::kGetPreparsedData);
    return HidSystemWrapper::HidD_GetPreparsedData(device, preparsed);
  }
  bool HidD_FreePreparsedData(Handle preparsed) override {
    Note(sim::Op::kFreePreparsedData);
    return HidSystemWrapper::HidD_FreePreparsedData(preparsed);
  }
  uint32_t HidP_GetCaps(Handle preparsed, HidCaps* caps) override {
    Note(sim::Op::kGetCaps);
    return HidSystemWrapper::HidP_GetCaps(preparsed, caps);
  }
  Handle CreateEventA(bool manual_reset, bool initial_state) override {
    Note(sim::Op::kCreateEvent);
    return HidSystemWrapper::CreateEventA(manual_reset, initial_state);
  }
  bool ResetEvent(Handle event) override {
    Note(sim::Op::kResetEvent);
    return HidSystemWrapper::ResetEvent(event);
  }
  bool ReadFile(Handle device, uint8_t* buffer, uint32_t n, uint32_t* got,
                Overlapped* overlapped) override {
    Note(sim::Op::kReadFile);
    return HidSystemWrapper::ReadFile(device, buffer, n, got, overlapped);
  }
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override {
    Note(sim::Op::kGetOverlappedResult);
    return HidSystemWrapper::GetOverlappedResult(device, overlapped, bytes, wait);
  }
  bool CancelIo(Handle device) override {
    Note(sim::Op::kCancelIo);
    return HidSystemWrapper::CancelIo(device);
  }
  bool CloseHandle(Handle object) override {
    Note(sim::Op::kCloseHandle);
    return HidSystemWrapper::CloseHandle(object);
  }
  uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) override {
    Note(sim::Op::kGetFeature);
    return HidSystemWrapper::HidD_GetFeature(device, report, length);
  }
  uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) override {
    Note(sim::Op::kSetFeature);
    return HidSystemWrapper::HidD_SetFeature(device, report, length);
  }
  bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) override {
    Note(sim::Op::kGetSerialNumberString);
    return HidSystemWrapper::HidD_GetSerialNumberString(device, buffer, length);
  }
  bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) override {
    Note(sim::Op::kGetProductString);
    return HidSystemWrapper::HidD_GetProductString(device, buffer, length);
  }
  bool HidD_GetIndexedString(Handle device, uint32_t index, void* buffer,
                             uint32_t length) override {
    Note(sim::Op::kGetIndexedString);
    return HidSystemWrapper::HidD_GetIndexedString(device, index, buffer, length);
  }
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                    char* buffer, uint32_t size, const char* file) override {
    Note(sim::Op::kGetPrivateProfileString);
    return HidSystemWrapper::GetPrivateProfileStringA(section, key, def, buffer, size, file);
  }

 private:
  void Note(sim::Op op) { trace_.push_back(op); }

  std::vector<sim::Op> trace_;
};

}  // namespace usborva::faults

#endif  // USBORVA_TESTS_FAULTS_TRACING_HID_SYSTEM_H_
