// SPDX-License-Identifier: Apache-2.0
#include "platform/null/null_hid_system.h"

#include "hid_system/ini_file.h"

namespace usborva::null {

bool NullHidSystem::Fail(uint32_t error) {
  last_error_ = error;
  return false;
}

Handle NullHidSystem::Issue() {
  Handle handle = next_handle_;
  next_handle_ += 4;
  return handle;
}

void NullHidSystem::HidD_GetHidGuid(Guid* hid_guid) { *hid_guid = kHidInterfaceGuid; }

Handle NullHidSystem::SetupDiGetClassDevsA(const Guid&, uint32_t) {
  Handle set = Issue();
  sets_.insert(set);
  return set;
}

bool NullHidSystem::SetupDiEnumDeviceInterfaces(Handle device_info_set, const Guid&, int32_t,
                                                DeviceInterfaceData*) {
  return Fail(sets_.count(device_info_set) ? kErrorNoMoreItems : kErrorInvalidHandle);
}

bool NullHidSystem::SetupDiGetDeviceInterfaceDetailA(Handle, const DeviceInterfaceData&, uint8_t*,
                                                     uint32_t, uint32_t*) {
  return Fail(kErrorNoMoreItems);
}

bool NullHidSystem::SetupDiDestroyDeviceInfoList(Handle device_info_set) {
  return sets_.erase(device_info_set) ? true : Fail(kErrorInvalidHandle);
}

Handle NullHidSystem::CreateFileA(const char*, uint32_t, uint32_t, const SecurityAttributes*,
                                  uint32_t, uint32_t) {
  Fail(kErrorFileNotFound);
  return kInvalidHandleValue;
}

bool NullHidSystem::HidD_GetAttributes(Handle, HidAttributes*) { return Fail(kErrorInvalidHandle); }

bool NullHidSystem::HidD_GetPreparsedData(Handle, Handle*) { return Fail(kErrorInvalidHandle); }

bool NullHidSystem::HidD_FreePreparsedData(Handle) { return Fail(kErrorInvalidHandle); }

uint32_t NullHidSystem::HidP_GetCaps(Handle, HidCaps*) { return kHidpStatusInvalidPreparsedData; }

Handle NullHidSystem::CreateEventA(bool, bool) {
  Handle event = Issue();
  events_.insert(event);
  return event;
}

bool NullHidSystem::ResetEvent(Handle event) {
  return events_.count(event) ? true : Fail(kErrorInvalidHandle);
}

bool NullHidSystem::ReadFile(Handle, uint8_t*, uint32_t, uint32_t*, Overlapped*) {
  return Fail(kErrorInvalidHandle);
}

bool NullHidSystem::GetOverlappedResult(Handle, Overlapped*, uint32_t*, bool) {
  return Fail(kErrorInvalidHandle);
}

bool NullHidSystem::CancelIo(Handle) { return Fail(kErrorInvalidHandle); }

bool NullHidSystem::CloseHandle(Handle object) {
  return events_.erase(object) ? true : Fail(kErrorInvalidHandle);
}

uint8_t NullHidSystem::HidD_GetFeature(Handle, uint8_t*, uint32_t) {
  Fail(kErrorInvalidHandle);
  return 0;
}

uint8_t NullHidSystem::HidD_SetFeature(Handle, uint8_t*, uint32_t) {
  Fail(kErrorInvalidHandle);
  return 0;
}

bool NullHidSystem::HidD_GetSerialNumberString(Handle, void*, uint32_t) {
  return Fail(kErrorInvalidHandle);
}

bool NullHidSystem::HidD_GetProductString(Handle, void*, uint32_t) {
  return Fail(kErrorInvalidHandle);
}

bool NullHidSystem::HidD_GetIndexedString(Handle, uint32_t, void*, uint32_t) {
  return Fail(kErrorInvalidHandle);
}

uint32_t NullHidSystem::GetPrivateProfileStringA(const char* section, const char* key,
                                                 const char* default_value, char* buffer,
                                                 uint32_t size, const char* file_name) {
  return hid_system::ReadProfileStringFromFile(
      hid_system::ConfigFilePath(file_name ? file_name : ""), section, key, default_value, buffer,
      size);
}

}  // namespace usborva::null
