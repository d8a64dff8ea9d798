// SPDX-License-Identifier: Apache-2.0
// The Windows HID stack behind the transport. The transport speaks the 32-bit layouts of
// the setup structures; this backend passes the sizes of the process it runs in, keeps the
// real OVERLAPPED of each outstanding read, and waits for a cancelled read to finish so the
// driver never writes into a buffer the transport has let go.
#include "platform/win32/win32_hid_system.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
// mingw-w64's HID headers declare C functions without a C++ guard.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace usborva::win32 {
namespace {

HANDLE AsHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromHandle(HANDLE h) { return reinterpret_cast<Handle>(h); }

GUID ToGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.Data1;
  out.Data2 = g.Data2;
  out.Data3 = g.Data3;
  std::memcpy(out.Data4, g.Data4, sizeof out.Data4);
  return out;
}

Guid FromGuid(const GUID& g) {
  Guid out;
  out.Data1 = g.Data1;
  out.Data2 = g.Data2;
  out.Data3 = g.Data3;
  std::memcpy(out.Data4, g.Data4, sizeof out.Data4);
  return out;
}

SP_DEVICE_INTERFACE_DATA ToInterfaceData(const DeviceInterfaceData& data) {
  SP_DEVICE_INTERFACE_DATA out{};
  out.cbSize = sizeof out;
  out.InterfaceClassGuid = ToGuid(data.InterfaceClassGuid);
  out.Flags = data.Flags;
  out.Reserved = data.Reserved;
  return out;
}

// One outstanding read per device handle: the OVERLAPPED the driver completes must stay at
// one address until the read has finished.
struct ReadSlot {
  OVERLAPPED overlapped{};
  bool pending = false;
};

class Backend final : public HidSystem {
 public:
  void HidD_GetHidGuid(Guid* hid_guid) override {
    GUID guid;
    ::HidD_GetHidGuid(&guid);
    *hid_guid = FromGuid(guid);
  }

  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override {
    const GUID guid = ToGuid(class_guid);
    HDEVINFO set = ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
    return Keep(set == INVALID_HANDLE_VALUE ? kInvalidHandleValue : FromHandle(set));
  }

  bool SetupDiEnumDeviceInterfaces(Handle set, const Guid& interface_guid, int32_t member_index,
                                   DeviceInterfaceData* data) override {
    const GUID guid = ToGuid(interface_guid);
    SP_DEVICE_INTERFACE_DATA native{};
    native.cbSize = sizeof native;  // 28 in a 32-bit process, 32 in a 64-bit one
    const BOOL ok = ::SetupDiEnumDeviceInterfaces(AsHandle(set), nullptr, &guid,
                                                  static_cast<DWORD>(member_index), &native);
    SaveError();
    if (ok) {
      data->InterfaceClassGuid = FromGuid(native.InterfaceClassGuid);
      data->Flags = native.Flags;
      data->Reserved = native.Reserved;
    }
    return ok != FALSE;
  }

  bool SetupDiGetDeviceInterfaceDetailA(Handle set, const DeviceInterfaceData& data,
                                        uint8_t* buffer, uint32_t buffer_size,
                                        uint32_t* required_size) override {
    SP_DEVICE_INTERFACE_DATA native = ToInterfaceData(data);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
    // The transport writes the 32-bit cbSize (5); a 64-bit process needs 8. DevicePath
    // starts at byte 4 either way.
    if (detail != nullptr && buffer_size >= sizeof(DWORD)) detail->cbSize = sizeof *detail;
    DWORD required = 0;
    const BOOL ok = ::SetupDiGetDeviceInterfaceDetailA(AsHandle(set), &native, detail, buffer_size,
                                                       &required, nullptr);
    SaveError();
    if (required_size != nullptr) *required_size = required;
    return ok != FALSE;
  }

  bool SetupDiDestroyDeviceInfoList(Handle set) override {
    return Result(::SetupDiDestroyDeviceInfoList(AsHandle(set)));
  }

  Handle CreateFileA(const char* path, uint32_t desired_access, uint32_t share_mode,
                     const SecurityAttributes* security, uint32_t creation_disposition,
                     uint32_t flags_and_attributes) override {
    SECURITY_ATTRIBUTES native{};
    if (security != nullptr) {
      native.nLength = sizeof native;
      native.lpSecurityDescriptor = reinterpret_cast<void*>(security->lpSecurityDescriptor);
      native.bInheritHandle = security->bInheritHandle != 0;
    }
    HANDLE h = ::CreateFileA(path, desired_access, share_mode, security ? &native : nullptr,
                             creation_disposition, flags_and_attributes, nullptr);
    return Keep(h == INVALID_HANDLE_VALUE ? kInvalidHandleValue : FromHandle(h));
  }

  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override {
    HIDD_ATTRIBUTES native{};
    native.Size = sizeof native;
    const bool ok = Result(::HidD_GetAttributes(AsHandle(device), &native));
    if (ok) {
      attributes->VendorID = native.VendorID;
      attributes->ProductID = native.ProductID;
      attributes->VersionNumber = native.VersionNumber;
    }
    return ok;
  }

  bool HidD_GetPreparsedData(Handle device, Handle* preparsed_data) override {
    PHIDP_PREPARSED_DATA data = nullptr;
    const bool ok = Result(::HidD_GetPreparsedData(AsHandle(device), &data));
    *preparsed_data = ok ? reinterpret_cast<Handle>(data) : 0;
    return ok;
  }

  bool HidD_FreePreparsedData(Handle preparsed_data) override {
    return Result(::HidD_FreePreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed_data)));
  }

  uint32_t HidP_GetCaps(Handle preparsed_data, HidCaps* caps) override {
    HIDP_CAPS native{};
    const NTSTATUS status =
        ::HidP_GetCaps(reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed_data), &native);
    if (static_cast<uint32_t>(status) == kHidpStatusSuccess) {
      caps->Usage = native.Usage;
      caps->UsagePage = native.UsagePage;
      caps->InputReportByteLength = static_cast<int16_t>(native.InputReportByteLength);
      caps->OutputReportByteLength = static_cast<int16_t>(native.OutputReportByteLength);
      caps->FeatureReportByteLength = static_cast<int16_t>(native.FeatureReportByteLength);
    }
    return static_cast<uint32_t>(status);
  }

  Handle CreateEventA(bool manual_reset, bool initial_state) override {
    HANDLE h = ::CreateEventA(nullptr, manual_reset, initial_state, nullptr);
    return Keep(FromHandle(h));
  }

  bool ResetEvent(Handle event) override { return Result(::ResetEvent(AsHandle(event))); }

  bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                Overlapped* overlapped) override;
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override;
  bool CancelIo(Handle device) override;
  bool CloseHandle(Handle object) override;

  uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return Result(::HidD_GetFeature(AsHandle(device), report, length)) ? 1 : 0;
  }
  uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) override {
    return Result(::HidD_SetFeature(AsHandle(device), report, length)) ? 1 : 0;
  }
  bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) override {
    return Result(::HidD_GetSerialNumberString(AsHandle(device), buffer, length));
  }
  bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) override {
    return Result(::HidD_GetProductString(AsHandle(device), buffer, length));
  }
  bool HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                             uint32_t length) override {
    return Result(::HidD_GetIndexedString(AsHandle(device), string_index, buffer, length));
  }

  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override {
    const DWORD n =
        ::GetPrivateProfileStringA(section, key, default_value, buffer, size, file_name);
    SaveError();
    return n;
  }

  uint32_t GetLastError() override { return last_error_; }

 private:
  // The last error is taken right after each call: the bookkeeping below (locks, maps) may
  // change the thread's own.
  void SaveError() { last_error_ = ::GetLastError(); }
  bool Result(BOOL ok) {
    SaveError();
    return ok != FALSE;
  }
  bool Result(BOOLEAN ok) {
    SaveError();
    return ok != FALSE;
  }
  Handle Keep(Handle h) {
    SaveError();
    return h;
  }
  void FinishCancelled(HANDLE device, ReadSlot& slot);

  static thread_local uint32_t last_error_;
  std::mutex mutex_;  // the slots are shared by the threads that use this backend
  std::map<Handle, std::unique_ptr<ReadSlot>> slots_;
};

thread_local uint32_t Backend::last_error_ = 0;

bool Backend::ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                       Overlapped* overlapped) {
  ReadSlot* slot;
  {
    std::lock_guard lock(mutex_);
    auto& entry = slots_[device];
    if (!entry) entry = std::make_unique<ReadSlot>();
    slot = entry.get();
  }
  slot->overlapped = OVERLAPPED{};
  slot->overlapped.hEvent = AsHandle(overlapped->hEvent);
  DWORD n = 0;
  const BOOL ok = ::ReadFile(AsHandle(device), buffer, bytes_to_read, &n, &slot->overlapped);
  SaveError();
  slot->pending = !ok && last_error_ == ERROR_IO_PENDING;
  if (bytes_read != nullptr) *bytes_read = n;
  return ok != FALSE;
}

bool Backend::GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                  bool wait) {
  ReadSlot* slot = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = slots_.find(device);
    if (it != slots_.end()) slot = it->second.get();
  }
  if (slot == nullptr) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return false;
  }
  DWORD n = 0;
  const BOOL ok = ::GetOverlappedResult(AsHandle(device), &slot->overlapped, &n, wait);
  SaveError();
  if (ok || last_error_ != ERROR_IO_INCOMPLETE) slot->pending = false;
  overlapped->Internal = slot->overlapped.Internal;
  overlapped->InternalHigh = slot->overlapped.InternalHigh;
  if (bytes != nullptr) *bytes = n;
  return ok != FALSE;
}

void Backend::FinishCancelled(HANDLE device, ReadSlot& slot) {
  if (!slot.pending) return;
  DWORD n = 0;
  ::GetOverlappedResult(device, &slot.overlapped, &n, TRUE);
  slot.pending = false;
}

bool Backend::CancelIo(Handle device) {
  const BOOL ok = ::CancelIo(AsHandle(device));
  const DWORD error = ::GetLastError();
  std::unique_ptr<ReadSlot>* entry = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = slots_.find(device);
    if (it != slots_.end()) entry = &it->second;
  }
  if (entry != nullptr) FinishCancelled(AsHandle(device), **entry);
  last_error_ = error;
  return ok != FALSE;
}

bool Backend::CloseHandle(Handle object) {
  std::unique_ptr<ReadSlot> slot;
  {
    std::lock_guard lock(mutex_);
    auto it = slots_.find(object);
    if (it != slots_.end()) {
      slot = std::move(it->second);
      slots_.erase(it);
    }
  }
  // A read still outstanding on a handle being closed is cancelled and waited for first.
  if (slot && slot->pending) {
    ::CancelIo(AsHandle(object));
    FinishCancelled(AsHandle(object), *slot);
  }
  return Result(::CloseHandle(AsHandle(object)));
}

}  // namespace

HidSystem& Win32HidSystem() {
  static Backend backend;
  return backend;
}

}  // namespace usborva::win32
