// SPDX-License-Identifier: Apache-2.0
#include "usborva/hidraw_hid_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "hid_system/ini_file.h"
#include "hid_system/interface_enumeration.h"
#include "hid_system/terminal_vendor.h"
#include "platform/hidraw/hidraw_device.h"
#include "platform/hidraw/identity_cache.h"
#include "platform/hidraw/string_buffer.h"
#include "platform/hidraw/sysfs.h"

namespace usborva {
namespace {

using hidraw::Access;
using hidraw::HidrawDevice;
using hidraw::ReadStep;

// OVERLAPPED.Internal holds the status of the operation: pending, success, or (in this
// backend) the error flag plus the Windows error the collection reports.
constexpr uintptr_t kStatusErrorFlag = 0xC0000000u;
constexpr Handle kFirstHandle = 0x100;
constexpr Handle kHandleStep = 4;

thread_local uint32_t t_last_error = 0;

struct DeviceInfoSet {
  std::vector<hidraw::HidrawNode> nodes;
};

struct Event {
  bool manual_reset = true;
  bool signalled = false;
};

struct Preparsed {
  hidraw::ParsedDescriptor descriptor;
};

// The one outstanding read of a device: where its report goes when it is collected.
struct PendingRead {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  Overlapped* overlapped = nullptr;
};

struct DeviceEntry {
  // Absent for a node whose identity was remembered: it is opened on the first call that
  // needs more than its attributes.
  std::optional<HidrawDevice> device;
  std::string path;
  Access access = Access::kQuery;
  // The node's identity key when it was opened, for the cache.
  std::optional<hidraw::NodeIdentityKey> key;
  std::optional<HidAttributes> remembered;
  bool overlapped_io = false;
  std::optional<PendingRead> pending;
};

using Object = std::variant<DeviceInfoSet, Event, Preparsed, DeviceEntry>;

Access AccessOf(uint32_t desired_access) {
  const bool read = (desired_access & kGenericRead) != 0;
  const bool write = (desired_access & kGenericWrite) != 0;
  if (read && write) return Access::kReadWrite;
  if (read) return Access::kRead;
  if (write) return Access::kWrite;
  return Access::kQuery;
}

uint32_t ErrorOfStatus(uintptr_t status) {
  return static_cast<uint32_t>(status & ~kStatusErrorFlag);
}

}  // namespace

struct HidrawHidSystem::Impl {
  HidrawRoots roots;
  Handle next_handle = kFirstHandle;
  std::map<Handle, Object> objects;
  hidraw::IdentityCache identities;
  // The most recent enumeration, whose listing tells each node's sysfs entry.
  Handle last_set = 0;

  Handle Issue(Object object) {
    const Handle handle = next_handle;
    next_handle += kHandleStep;
    objects.emplace(handle, std::move(object));
    return handle;
  }

  template <typename T>
  T* Find(Handle handle) {
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : std::get_if<T>(&it->second);
  }

  // The sysfs entry inode the most recent enumeration, if still held, listed for path; 0
  // when it did not list path.
  uint64_t ListedSysfsIno(const std::string& path) {
    const DeviceInfoSet* set = Find<DeviceInfoSet>(last_set);
    if (set == nullptr) return 0;
    const size_t slash = path.find_last_of('/');
    const int number = hidraw::HidrawNumberOfName(
        std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1));
    auto it = std::lower_bound(
        set->nodes.begin(), set->nodes.end(), number,
        [](const hidraw::HidrawNode& node, int wanted) { return node.number < wanted; });
    if (it == set->nodes.end() || it->number != number || it->device_path != path) return 0;
    return it->sysfs_ino;
  }

  // The open node of entry, opening a remembered one now; nullptr with *error on failure.
  HidrawDevice* DeviceOf(DeviceEntry* entry, uint32_t* error) {
    if (!entry->device) {
      entry->device = HidrawDevice::Open(entry->path, entry->access, roots, error);
      if (!entry->device) return nullptr;
    }
    return &*entry->device;
  }

  // Records how an overlapped operation ended and signals its event, as completion does.
  void Complete(Overlapped* overlapped, uintptr_t status, uint32_t bytes) {
    overlapped->Internal = status;
    overlapped->InternalHigh = bytes;
    if (Event* event = Find<Event>(overlapped->hEvent)) event->signalled = true;
  }
};

namespace {

bool Fail(uint32_t error) {
  t_last_error = error;
  return false;
}

}  // namespace

HidrawHidSystem::HidrawHidSystem() : HidrawHidSystem(HidrawRoots{}) {}

HidrawHidSystem::HidrawHidSystem(HidrawRoots roots) : impl_(std::make_unique<Impl>()) {
  impl_->roots = std::move(roots);
}

HidrawHidSystem::~HidrawHidSystem() = default;

const HidrawRoots& HidrawHidSystem::roots() const { return impl_->roots; }

void HidrawHidSystem::HidD_GetHidGuid(Guid* hid_guid) {
  if (hid_guid != nullptr) *hid_guid = kHidInterfaceGuid;
}

Handle HidrawHidSystem::SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) {
  DeviceInfoSet set;
  // Only HID device interfaces exist here; any other class is an empty set.
  if (hid_system::ListsHidInterfaces(class_guid, flags) &&
      !hidraw::ListHidrawNodes(impl_->roots.sysfs_root, impl_->roots.dev_root, &set.nodes)) {
    Fail(hidraw::WinErrorFromErrno(errno, "listing nodes under", impl_->roots.sysfs_root));
    return kInvalidHandleValue;
  }
  impl_->last_set = impl_->Issue(std::move(set));
  return impl_->last_set;
}

bool HidrawHidSystem::SetupDiEnumDeviceInterfaces(Handle device_info_set,
                                                  const Guid& interface_guid, int32_t member_index,
                                                  DeviceInterfaceData* data) {
  const DeviceInfoSet* set = impl_->Find<DeviceInfoSet>(device_info_set);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  const uint32_t error =
      hid_system::EnumerateInterface(set->nodes.size(), interface_guid, member_index, data);
  return error == 0 ? true : Fail(error);
}

bool HidrawHidSystem::SetupDiGetDeviceInterfaceDetailA(Handle device_info_set,
                                                       const DeviceInterfaceData& data,
                                                       uint8_t* buffer, uint32_t buffer_size,
                                                       uint32_t* required_size) {
  const DeviceInfoSet* set = impl_->Find<DeviceInfoSet>(device_info_set);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  const std::optional<size_t> member = hid_system::InterfaceMember(data, set->nodes.size());
  if (!member) return Fail(kErrorInvalidParameter);
  const uint32_t error = hid_system::WriteInterfaceDetail(set->nodes[*member].device_path, buffer,
                                                          buffer_size, required_size);
  return error == 0 ? true : Fail(error);
}

bool HidrawHidSystem::SetupDiDestroyDeviceInfoList(Handle device_info_set) {
  if (impl_->Find<DeviceInfoSet>(device_info_set) == nullptr) return Fail(kErrorInvalidHandle);
  impl_->objects.erase(device_info_set);
  return true;
}

Handle HidrawHidSystem::CreateFileA(const char* path, uint32_t desired_access,
                                    uint32_t /*share_mode*/, const SecurityAttributes* /*security*/,
                                    uint32_t creation_disposition, uint32_t flags_and_attributes) {
  // Sharing is the kernel's (hidraw nodes are never exclusive). The handle is never
  // inherited, whatever the security attributes ask: a child process must not hold the
  // terminal open.
  if (path == nullptr || creation_disposition != kOpenExisting) {
    Fail(kErrorInvalidParameter);
    return kInvalidHandleValue;
  }
  DeviceEntry entry;
  entry.path = path;
  entry.access = AccessOf(desired_access);
  entry.overlapped_io = (flags_and_attributes & kFileFlagOverlapped) != 0;
  const size_t access_index = static_cast<size_t>(entry.access);
  static_assert(std::tuple_size_v<hidraw::OpenOutcomes> ==
                    static_cast<size_t>(hidraw::Access::kReadWrite) + 1,
                "the identity cache keeps an outcome for every access");
  entry.key = hidraw::NodeIdentityKeyOf(entry.path, impl_->roots.sysfs_root,
                                        impl_->ListedSysfsIno(entry.path));
  // A node already known not to be a terminal, unchanged since: what opening it gave then,
  // it gives now, and its attributes are those read then.
  if (entry.key) {
    if (const auto* known = impl_->identities.Find(entry.path, *entry.key)) {
      if (const std::optional<uint32_t>& outcome = known->outcomes[access_index]) {
        if (*outcome != 0) {
          Fail(*outcome);
          return kInvalidHandleValue;
        }
        entry.remembered = known->attributes;
        return impl_->Issue(std::move(entry));
      }
    }
  }
  uint32_t error = 0;
  entry.device = HidrawDevice::Open(entry.path, entry.access, impl_->roots, &error);
  if (!entry.device) {
    if (entry.key) impl_->identities.NoteOpen(entry.path, *entry.key, access_index, error);
    Fail(error);
    return kInvalidHandleValue;
  }
  return impl_->Issue(std::move(entry));
}

bool HidrawHidSystem::HidD_GetAttributes(Handle device, HidAttributes* attributes) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  if (attributes == nullptr) return Fail(kErrorInvalidParameter);
  if (entry->remembered) {
    *attributes = *entry->remembered;
    return true;
  }
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr || !open->ReadAttributes(attributes, &error)) return Fail(error);
  attributes->Size = kHidAttributesSize;
  if (entry->key) {
    impl_->identities.Remember(entry->path, *entry->key, *attributes,
                               static_cast<size_t>(entry->access), hid_system::kTerminalVendorId);
  }
  return true;
}

bool HidrawHidSystem::HidD_GetPreparsedData(Handle device, Handle* preparsed_data) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  if (preparsed_data == nullptr) return Fail(kErrorInvalidParameter);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  const hidraw::ParsedDescriptor* descriptor = open ? open->Descriptor(&error) : nullptr;
  if (descriptor == nullptr) return Fail(error);
  *preparsed_data = impl_->Issue(Preparsed{*descriptor});
  return true;
}

bool HidrawHidSystem::HidD_FreePreparsedData(Handle preparsed_data) {
  if (impl_->Find<Preparsed>(preparsed_data) == nullptr) return Fail(kErrorInvalidHandle);
  impl_->objects.erase(preparsed_data);
  return true;
}

uint32_t HidrawHidSystem::HidP_GetCaps(Handle preparsed_data, HidCaps* caps) {
  const Preparsed* preparsed = impl_->Find<Preparsed>(preparsed_data);
  // A descriptor we cannot read is data the HID parser would have refused.
  if (preparsed == nullptr || caps == nullptr ||
      preparsed->descriptor.status != hidraw::DescriptorStatus::kOk) {
    return kHidpStatusInvalidPreparsedData;
  }
  const hidraw::DescriptorCaps& parsed = preparsed->descriptor.caps;
  *caps = HidCaps{};
  caps->Usage = parsed.Usage;
  caps->UsagePage = parsed.UsagePage;
  caps->InputReportByteLength = static_cast<int16_t>(parsed.InputReportByteLength);
  caps->OutputReportByteLength = static_cast<int16_t>(parsed.OutputReportByteLength);
  caps->FeatureReportByteLength = static_cast<int16_t>(parsed.FeatureReportByteLength);
  return kHidpStatusSuccess;
}

Handle HidrawHidSystem::CreateEventA(bool manual_reset, bool initial_state) {
  return impl_->Issue(Event{manual_reset, initial_state});
}

bool HidrawHidSystem::ResetEvent(Handle event) {
  Event* found = impl_->Find<Event>(event);
  if (found == nullptr) return Fail(kErrorInvalidHandle);
  found->signalled = false;
  return true;
}

bool HidrawHidSystem::ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read,
                               uint32_t* bytes_read, Overlapped* overlapped) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  // One outstanding read per device is all the transport ever issues.
  if (entry->pending) return Fail(kErrorInvalidParameter);
  const bool asynchronous = overlapped != nullptr && entry->overlapped_io;
  if (asynchronous) {
    if (Event* event = impl_->Find<Event>(overlapped->hEvent)) event->signalled = false;
    overlapped->Internal = kStatusPending;
    overlapped->InternalHigh = 0;
  }
  if (bytes_read != nullptr) *bytes_read = 0;
  uint32_t transferred = 0;
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  ReadStep step = ReadStep::kFailed;
  while (open != nullptr) {
    step = open->ReadReport(buffer, bytes_to_read, asynchronous ? 0 : -1, &transferred, &error);
    if (step != ReadStep::kNothing || asynchronous) break;
  }
  if (step == ReadStep::kComplete) {
    if (bytes_read != nullptr) *bytes_read = transferred;
    if (asynchronous) impl_->Complete(overlapped, kStatusSuccess, transferred);
    return true;
  }
  if (step == ReadStep::kFailed) {
    if (asynchronous) impl_->Complete(overlapped, kStatusErrorFlag | error, 0);
    return Fail(error);
  }
  entry->pending = PendingRead{buffer, bytes_to_read, overlapped};
  return Fail(kErrorIoPending);
}

bool HidrawHidSystem::GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                          bool wait) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  if (overlapped == nullptr) return Fail(kErrorInvalidParameter);
  if (entry->pending && entry->pending->overlapped == overlapped) {
    const PendingRead pending = *entry->pending;
    uint32_t transferred = 0;
    uint32_t error = 0;
    // A pending read exists only on an opened node.
    const ReadStep step = entry->device->ReadReport(pending.buffer, pending.length, wait ? -1 : 0,
                                                    &transferred, &error);
    if (step == ReadStep::kNothing) return Fail(kErrorIoIncomplete);
    entry->pending.reset();
    if (step == ReadStep::kFailed) {
      impl_->Complete(overlapped, kStatusErrorFlag | error, 0);
      return Fail(error);
    }
    impl_->Complete(overlapped, kStatusSuccess, transferred);
  }
  // Not (or no longer) outstanding: the record tells how it ended.
  if (overlapped->Internal == kStatusPending) return Fail(kErrorIoIncomplete);
  if (overlapped->Internal != kStatusSuccess) return Fail(ErrorOfStatus(overlapped->Internal));
  if (bytes != nullptr) *bytes = static_cast<uint32_t>(overlapped->InternalHigh);
  return true;
}

bool HidrawHidSystem::CancelIo(Handle device) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  if (entry->pending) {
    impl_->Complete(entry->pending->overlapped, kStatusErrorFlag | kErrorOperationAborted, 0);
    // From here on nothing writes into the cancelled read's buffer.
    entry->pending.reset();
  }
  return true;
}

bool HidrawHidSystem::CloseHandle(Handle object) {
  auto it = impl_->objects.find(object);
  // Sets and preparsed data have their own release calls, as on Windows.
  if (it == impl_->objects.end() || !(std::holds_alternative<DeviceEntry>(it->second) ||
                                      std::holds_alternative<Event>(it->second))) {
    return Fail(kErrorInvalidHandle);
  }
  // Closing drops an outstanding read without touching its buffer or record.
  impl_->objects.erase(it);
  return true;
}

uint8_t HidrawHidSystem::HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr || !open->GetFeature(report, length, &error)) return Fail(error);
  return 1;
}

uint8_t HidrawHidSystem::HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr || !open->SetFeature(report, length, &error)) return Fail(error);
  return 1;
}

namespace {

bool DeliverString(const std::optional<std::u16string>& text, void* buffer, uint32_t length) {
  if (!text) return Fail(kErrorNotSupported);
  if (!hidraw::CopyToStringBuffer(*text, buffer, length)) return Fail(kErrorInvalidParameter);
  return true;
}

}  // namespace

bool HidrawHidSystem::HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr) return Fail(error);
  return DeliverString(open->SerialNumber(), buffer, length);
}

bool HidrawHidSystem::HidD_GetProductString(Handle device, void* buffer, uint32_t length) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr) return Fail(error);
  return DeliverString(open->Product(), buffer, length);
}

bool HidrawHidSystem::HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                                            uint32_t length) {
  DeviceEntry* entry = impl_->Find<DeviceEntry>(device);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  // Index 0 is the language list, not a string.
  if (string_index == 0 || string_index > 255) return Fail(kErrorInvalidParameter);
  uint32_t error = 0;
  HidrawDevice* open = impl_->DeviceOf(entry, &error);
  if (open == nullptr) return Fail(error);
  return DeliverString(open->IndexedString(static_cast<uint8_t>(string_index)), buffer, length);
}

uint32_t HidrawHidSystem::GetPrivateProfileStringA(const char* section, const char* key,
                                                   const char* default_value, char* buffer,
                                                   uint32_t size, const char* file_name) {
  if (buffer == nullptr || size == 0) return 0;
  // Listing sections or keys (a null section or key) is not a lookup the transport makes.
  if (section == nullptr || key == nullptr || file_name == nullptr) {
    buffer[0] = '\0';
    Fail(kErrorNotSupported);
    return 0;
  }
  return hid_system::ReadProfileStringFromFile(hid_system::ConfigFilePath(file_name), section, key,
                                               default_value != nullptr ? default_value : "",
                                               buffer, size);
}

uint32_t HidrawHidSystem::GetLastError() { return t_last_error; }

}  // namespace usborva
