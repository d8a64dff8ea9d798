// SPDX-License-Identifier: Apache-2.0
#include "platform/simulated/simulated_hid_system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "hid_system/ini_file.h"
#include "hid_system/interface_enumeration.h"

namespace usborva::simulated {

using sim::Fault;
using sim::HandleKind;
using sim::Op;

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Device paths compare without regard to case, as Windows object names do.
bool SamePath(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

size_t Length(int16_t caps_length) {
  return static_cast<size_t>(std::max<int16_t>(caps_length, 0));
}

}  // namespace

Machine::Machine() {
  // Room for the reads a transport keeps out, so polling a pending read never allocates.
  reads_.reserve(8);
}

Machine::~Machine() = default;

// --- the machine ------------------------------------------------------------------------

Machine::InterfaceId Machine::AddInterface(sim::InterfaceSpec spec) {
  // Value-initialised in place, not braced: g++ 12 destroys the terminal model of a braced
  // InterfaceState twice when a later member (the queue) fails to allocate.
  interfaces_.emplace_back();
  interfaces_.back().spec = std::move(spec);
  return interfaces_.size() - 1;
}

sim::InterfaceSpec& Machine::Interface(InterfaceId id) { return interfaces_.at(id).spec; }

void Machine::Unplug(InterfaceId id) {
  InterfaceState& state = interfaces_.at(id);
  if (!state.present) return;
  state.present = false;
  ++state.generation;
  state.queue.clear();
  EndReads(id, 0, kErrorDeviceNotConnected, kStatusDeviceNotConnected);
}

void Machine::Replug(InterfaceId id) { interfaces_.at(id).present = true; }

bool Machine::Present(InterfaceId id) const { return interfaces_.at(id).present; }

void Machine::SetConfigText(std::optional<std::string> text) { config_text_ = std::move(text); }

// --- faults -----------------------------------------------------------------------------

void Machine::SetFault(Fault fault, bool on) { machine_faults_[static_cast<size_t>(fault)] = on; }

void Machine::SetFault(InterfaceId id, Fault fault, bool on) {
  interfaces_.at(id).faults[static_cast<size_t>(fault)] = on;
}

void Machine::FailCall(uint64_t k) {
  auto at = std::lower_bound(fail_calls_.begin(), fail_calls_.end(), k);
  if (at == fail_calls_.end() || *at != k) fail_calls_.insert(at, k);
}

bool Machine::BeginCall(Op op) {
  ++call_count_;
  ++op_counts_[static_cast<size_t>(op)];
  failing_ = std::binary_search(fail_calls_.begin(), fail_calls_.end(), call_count_);
  return failing_;
}

bool Machine::Fail(uint32_t error) {
  last_error_ = error;
  return false;
}

bool Machine::FaultOn(InterfaceId id, Fault fault) const {
  size_t f = static_cast<size_t>(fault);
  return machine_faults_[f] || (id < interfaces_.size() && interfaces_[id].faults[f]);
}

// --- handles ----------------------------------------------------------------------------

Machine::HandleEntry& Machine::Issue(HandleKind kind, Handle* handle) {
  *handle = next_handle_;
  next_handle_ += 4;
  ++open_by_kind_[static_cast<size_t>(kind)];
  HandleEntry& entry = handles_[*handle];
  entry.kind = kind;
  return entry;
}

void Machine::Release(Handle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return;
  --open_by_kind_[static_cast<size_t>(it->second.kind)];
  handles_.erase(it);
}

Machine::HandleEntry* Machine::Find(Handle handle, HandleKind kind) {
  auto it = handles_.find(handle);
  return (it == handles_.end() || it->second.kind != kind) ? nullptr : &it->second;
}

const Machine::HandleEntry* Machine::Find(Handle handle, HandleKind kind) const {
  auto it = handles_.find(handle);
  return (it == handles_.end() || it->second.kind != kind) ? nullptr : &it->second;
}

Machine::HandleEntry* Machine::LiveDevice(Handle device) {
  HandleEntry* entry = Find(device, HandleKind::kDevice);
  if (entry == nullptr) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  const InterfaceState& state = interfaces_[entry->interface_id];
  if (!state.present || state.generation != entry->generation) {
    Fail(kErrorDeviceNotConnected);
    return nullptr;
  }
  return entry;
}

size_t Machine::OpenHandles(HandleKind kind) const {
  return open_by_kind_[static_cast<size_t>(kind)];
}

size_t Machine::OpenDeviceHandles(InterfaceId id) const {
  return static_cast<size_t>(std::count_if(handles_.begin(), handles_.end(), [id](const auto& h) {
    return h.second.kind == HandleKind::kDevice && h.second.interface_id == id;
  }));
}

uint64_t Machine::OpenCount(InterfaceId id) const { return interfaces_.at(id).opens; }

std::optional<SecurityAttributes> Machine::LastSecurity() const {
  if (open_log_.empty()) return std::nullopt;
  return open_log_.back().security;
}

bool Machine::EventSignalled(Handle event) const {
  const HandleEntry* entry = Find(event, HandleKind::kEvent);
  return entry != nullptr && entry->signalled;
}

void Machine::SignalEvent(Handle event, bool signalled) {
  if (HandleEntry* entry = Find(event, HandleKind::kEvent)) entry->signalled = signalled;
}

// --- discovery --------------------------------------------------------------------------

std::string Machine::PathOf(InterfaceId id) const {
  const sim::InterfaceSpec& spec = interfaces_[id].spec;
  if (!spec.path.empty()) return spec.path;
  char path[64];
  std::snprintf(path, sizeof path, "\\\\?\\hid#vid_%04x&pid_%04x#sim%zu", spec.vendor_id,
                spec.product_id, id);
  return path;
}

Machine::InterfaceId Machine::FindPath(const char* path) const {
  if (path == nullptr) return kNoInterface;
  for (InterfaceId id = 0; id < interfaces_.size(); ++id) {
    if (SamePath(PathOf(id), path)) return id;
  }
  return kNoInterface;
}

void Machine::HidD_GetHidGuid(Guid* hid_guid) {
  BeginCall(Op::kGetHidGuid);
  if (hid_guid != nullptr) *hid_guid = kHidInterfaceGuid;
}

Handle Machine::SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) {
  if (BeginCall(Op::kGetClassDevs) || FaultOn(kNoInterface, Fault::kClassDevs)) {
    Fail(kErrorNotEnoughMemory);
    return kInvalidHandleValue;
  }
  Handle set;
  HandleEntry& entry = Issue(HandleKind::kDeviceInfoSet, &set);
  if (hid_system::ListsHidInterfaces(class_guid, flags)) {
    for (InterfaceId id = 0; id < interfaces_.size(); ++id) {
      if (interfaces_[id].present || (flags & kDigcfPresent) == 0) entry.members.push_back(id);
    }
  }
  return set;
}

bool Machine::SetupDiEnumDeviceInterfaces(Handle device_info_set, const Guid& interface_guid,
                                          int32_t member_index, DeviceInterfaceData* data) {
  if (BeginCall(Op::kEnumDeviceInterfaces)) return Fail(kErrorInvalidParameter);
  const HandleEntry* set = Find(device_info_set, HandleKind::kDeviceInfoSet);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  // The driver checks the caller's record as Windows does, so a transport that stops
  // setting cbSize is caught here.
  if (data == nullptr ||
      (data->cbSize != kDeviceInterfaceDataSize32 && data->cbSize != sizeof(DeviceInterfaceData))) {
    return Fail(kErrorInvalidUserBuffer);
  }
  const uint32_t error =
      hid_system::EnumerateInterface(set->members.size(), interface_guid, member_index, data);
  return error == 0 ? true : Fail(error);
}

bool Machine::SetupDiGetDeviceInterfaceDetailA(Handle device_info_set,
                                               const DeviceInterfaceData& data, uint8_t* buffer,
                                               uint32_t buffer_size, uint32_t* required_size) {
  if (BeginCall(Op::kGetDeviceInterfaceDetail)) return Fail(kErrorInvalidParameter);
  const HandleEntry* set = Find(device_info_set, HandleKind::kDeviceInfoSet);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  const std::optional<size_t> member = hid_system::InterfaceMember(data, set->members.size());
  if (!member) return Fail(kErrorInvalidParameter);
  const InterfaceId id = set->members[*member];
  if (buffer == nullptr && FaultOn(id, Fault::kDetailSize)) return Fail(kErrorInvalidParameter);
  const uint32_t error =
      hid_system::WriteInterfaceDetail(PathOf(id), buffer, buffer_size, required_size);
  return error == 0 ? true : Fail(error);
}

bool Machine::SetupDiDestroyDeviceInfoList(Handle device_info_set) {
  bool failing = BeginCall(Op::kDestroyDeviceInfoList);
  if (Find(device_info_set, HandleKind::kDeviceInfoSet) == nullptr) {
    return Fail(kErrorInvalidHandle);
  }
  Release(device_info_set);
  return failing ? Fail(kErrorInvalidHandle) : true;
}

// --- open, identity and caps ------------------------------------------------------------

Handle Machine::CreateFileA(const char* path, uint32_t desired_access, uint32_t share_mode,
                            const SecurityAttributes* security, uint32_t creation_disposition,
                            uint32_t flags_and_attributes) {
  bool failing = BeginCall(Op::kCreateFile);
  OpenAttempt attempt{path ? path : "",     desired_access,       share_mode,         std::nullopt,
                      creation_disposition, flags_and_attributes, kInvalidHandleValue};
  if (security != nullptr) attempt.security = *security;
  InterfaceId id = FindPath(path);
  Handle device = kInvalidHandleValue;
  if (failing) {
    Fail(kErrorAccessDenied);
  } else if (id == kNoInterface || !interfaces_[id].present) {
    Fail(kErrorFileNotFound);
  } else if (FaultOn(id, Fault::kOpen) ||
             (desired_access != 0 && FaultOn(id, Fault::kReadWriteAccess))) {
    Fail(kErrorAccessDenied);
  } else {
    HandleEntry& entry = Issue(HandleKind::kDevice, &device);
    entry.interface_id = id;
    entry.generation = interfaces_[id].generation;
    entry.access = desired_access;
    ++interfaces_[id].opens;
  }
  attempt.result = device;
  open_log_.push_back(std::move(attempt));
  if (open_log_.size() > kLogDepth) open_log_.pop_front();
  return device;
}

bool Machine::HidD_GetAttributes(Handle device, HidAttributes* attributes) {
  if (BeginCall(Op::kGetAttributes)) return Fail(kErrorGenFailure);
  const HandleEntry* entry = LiveDevice(device);
  if (entry == nullptr) return false;
  if (attributes == nullptr || FaultOn(entry->interface_id, Fault::kAttributes)) {
    return Fail(kErrorGenFailure);
  }
  const sim::InterfaceSpec& spec = interfaces_[entry->interface_id].spec;
  attributes->Size = kHidAttributesSize;
  attributes->VendorID = spec.vendor_id;
  attributes->ProductID = spec.product_id;
  attributes->VersionNumber = spec.version_number;
  return true;
}

bool Machine::HidD_GetPreparsedData(Handle device, Handle* preparsed_data) {
  if (BeginCall(Op::kGetPreparsedData)) return Fail(kErrorNotEnoughMemory);
  const HandleEntry* entry = LiveDevice(device);
  if (entry == nullptr) return false;
  InterfaceId id = entry->interface_id;
  if (preparsed_data == nullptr || FaultOn(id, Fault::kPreparsedData)) {
    return Fail(kErrorGenFailure);
  }
  const sim::InterfaceSpec& spec = interfaces_[id].spec;
  HandleEntry& data = Issue(HandleKind::kPreparsedData, preparsed_data);
  data.interface_id = id;
  data.caps.Usage = spec.usage;
  data.caps.UsagePage = spec.usage_page;
  data.caps.InputReportByteLength = spec.input_report_length;
  data.caps.OutputReportByteLength = spec.output_report_length;
  data.caps.FeatureReportByteLength = spec.feature_report_length;
  return true;
}

bool Machine::HidD_FreePreparsedData(Handle preparsed_data) {
  bool failing = BeginCall(Op::kFreePreparsedData);
  if (Find(preparsed_data, HandleKind::kPreparsedData) == nullptr) {
    return Fail(kErrorInvalidHandle);
  }
  Release(preparsed_data);
  return failing ? Fail(kErrorInvalidHandle) : true;
}

uint32_t Machine::HidP_GetCaps(Handle preparsed_data, HidCaps* caps) {
  bool failing = BeginCall(Op::kGetCaps);
  const HandleEntry* entry = Find(preparsed_data, HandleKind::kPreparsedData);
  if (failing || entry == nullptr || caps == nullptr ||
      FaultOn(entry->interface_id, Fault::kCaps)) {
    return kHidpStatusInvalidPreparsedData;
  }
  *caps = entry->caps;
  return kHidpStatusSuccess;
}

// --- events and overlapped input --------------------------------------------------------

Handle Machine::CreateEventA(bool manual_reset, bool initial_state) {
  (void)manual_reset;  // the one event the transport makes is manual-reset; nothing waits
  if (BeginCall(Op::kCreateEvent) || FaultOn(kNoInterface, Fault::kCreateEvent)) {
    Fail(kErrorNotEnoughMemory);
    return 0;
  }
  Handle event;
  Issue(HandleKind::kEvent, &event).signalled = initial_state;
  return event;
}

bool Machine::ResetEvent(Handle event) {
  if (BeginCall(Op::kResetEvent) || FaultOn(kNoInterface, Fault::kResetEvent)) {
    return Fail(kErrorInvalidHandle);
  }
  HandleEntry* entry = Find(event, HandleKind::kEvent);
  if (entry == nullptr) return Fail(kErrorInvalidHandle);
  entry->signalled = false;
  return true;
}

void Machine::Complete(Read& read, const std::vector<uint8_t>& report) {
  // What the driver does when the report arrives: the caller's buffer is written now.
  size_t n = std::min<size_t>(report.size(), read.length);
  std::memcpy(read.buffer, report.data(), n);
  std::memset(read.buffer + n, 0, read.length - n);
  read.state = ReadState::kDone;
  read.bytes = read.length;
  read.buffer = nullptr;
  read.overlapped->Internal = kStatusSuccess;
  read.overlapped->InternalHigh = read.length;
  SignalEvent(read.overlapped->hEvent, true);
}

bool Machine::ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                       Overlapped* overlapped) {
  if (BeginCall(Op::kReadFile)) return Fail(kErrorGenFailure);
  const HandleEntry* entry = LiveDevice(device);
  if (entry == nullptr) return false;
  InterfaceId id = entry->interface_id;
  if ((entry->access & kGenericRead) == 0) return Fail(kErrorAccessDenied);
  if (FaultOn(id, Fault::kReadFile)) return Fail(kErrorGenFailure);
  if (overlapped == nullptr) return Fail(kErrorInvalidParameter);
  uint32_t length = static_cast<uint32_t>(Length(interfaces_[id].spec.input_report_length));
  if (buffer == nullptr || length == 0 || bytes_to_read < length) {
    return Fail(kErrorInvalidUserBuffer);
  }
  // A new read on an overlapped record forgets what an earlier one on it left behind.
  std::erase_if(reads_, [overlapped](const Read& r) {
    return r.overlapped == overlapped && r.state != ReadState::kPending;
  });
  overlapped->Internal = kStatusPending;
  overlapped->InternalHigh = 0;
  SignalEvent(overlapped->hEvent, false);
  Read read{device, id, buffer, length, overlapped, ReadState::kPending, 0, 0};
  std::deque<std::vector<uint8_t>>& queue = interfaces_[id].queue;
  if (!queue.empty()) {
    Complete(read, queue.front());
    queue.pop_front();
    if (bytes_read != nullptr) *bytes_read = read.bytes;
    return true;
  }
  reads_.push_back(read);
  return Fail(kErrorIoPending);
}

bool Machine::GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                  bool wait) {
  (void)wait;  // one thread: waiting for a report nobody else can queue would never end
  bool failing = BeginCall(Op::kGetOverlappedResult);
  if (Find(device, HandleKind::kDevice) == nullptr) return Fail(kErrorInvalidHandle);
  if (overlapped == nullptr) return Fail(kErrorInvalidParameter);
  auto it = std::find_if(reads_.begin(), reads_.end(), [&](const Read& r) {
    return r.device == device && r.overlapped == overlapped;
  });
  if (failing) {
    // The read ends with a device error; the driver lets go of the buffer.
    if (it != reads_.end()) reads_.erase(it);
    return Fail(kErrorGenFailure);
  }
  if (it == reads_.end()) {
    // Nothing outstanding on it: the record itself tells (a read that completed at once).
    if (overlapped->Internal != kStatusSuccess) return Fail(kErrorInvalidParameter);
    if (bytes != nullptr) *bytes = static_cast<uint32_t>(overlapped->InternalHigh);
    return true;
  }
  if (it->state == ReadState::kPending) return Fail(kErrorIoIncomplete);
  Read read = *it;
  reads_.erase(it);
  if (read.state == ReadState::kFailed) return Fail(read.error);
  if (bytes != nullptr) *bytes = read.bytes;
  return true;
}

void Machine::EndReads(InterfaceId id, Handle device, uint32_t error, uintptr_t status) {
  for (Read& read : reads_) {
    if (read.state != ReadState::kPending) continue;
    if (device != 0 ? read.device != device : read.interface_id != id) continue;
    read.state = ReadState::kFailed;
    read.error = error;
    read.buffer = nullptr;
    read.overlapped->Internal = status;
    SignalEvent(read.overlapped->hEvent, true);
  }
}

bool Machine::CancelIo(Handle device) {
  bool failing = BeginCall(Op::kCancelIo);
  if (Find(device, HandleKind::kDevice) == nullptr) return Fail(kErrorInvalidHandle);
  // When this returns the driver no longer touches the cancelled reads' buffers.
  EndReads(kNoInterface, device, kErrorOperationAborted, kStatusCancelled);
  return failing ? Fail(kErrorInvalidHandle) : true;
}

bool Machine::CloseHandle(Handle object) {
  bool failing = BeginCall(Op::kCloseHandle);
  auto it = handles_.find(object);
  if (it == handles_.end() || it->second.kind == HandleKind::kPreparsedData ||
      it->second.kind == HandleKind::kDeviceInfoSet) {
    return Fail(kErrorInvalidHandle);
  }
  if (it->second.kind == HandleKind::kDevice) {
    // Closing a handle cancels what is outstanding on it.
    EndReads(kNoInterface, object, kErrorOperationAborted, kStatusCancelled);
    std::erase_if(reads_, [object](const Read& r) { return r.device == object; });
  }
  Release(object);
  return failing ? Fail(kErrorInvalidHandle) : true;
}

// --- input reports ----------------------------------------------------------------------

void Machine::QueueInputReport(InterfaceId id, std::vector<uint8_t> report) {
  InterfaceState& state = interfaces_.at(id);
  if (!state.present) return;
  const sim::QueuePolicy policy = state.spec.queue_policy;
  if (policy == sim::QueuePolicy::kLinux && HeldReports(id) >= sim::InputQueueDepth(policy)) {
    // The ring is full: the kernel lets the arriving report go and keeps the queued ones.
    ++state.dropped;
    return;
  }
  for (Read& read : reads_) {
    if (read.state == ReadState::kPending && read.interface_id == id) {
      Complete(read, report);
      return;
    }
  }
  state.queue.push_back(std::move(report));
  if (state.queue.size() > sim::InputQueueDepth(policy)) {
    state.queue.pop_front();
    ++state.dropped;
  }
}

size_t Machine::HeldReports(InterfaceId id) const {
  // A completed read the host has not collected is still in the hidraw ring: the backend
  // reads it out of the kernel only when the host collects it.
  const auto uncollected = std::count_if(reads_.begin(), reads_.end(), [id](const Read& r) {
    return r.state == ReadState::kDone && r.interface_id == id;
  });
  return interfaces_[id].queue.size() + static_cast<size_t>(uncollected);
}

void Machine::ClearInputReports(InterfaceId id) { interfaces_.at(id).queue.clear(); }

size_t Machine::QueuedInputReports(InterfaceId id) const { return interfaces_.at(id).queue.size(); }

uint64_t Machine::DroppedInputReports(InterfaceId id) const { return interfaces_.at(id).dropped; }

size_t Machine::PendingReads(InterfaceId id) const {
  return static_cast<size_t>(std::count_if(reads_.begin(), reads_.end(), [id](const Read& r) {
    return r.state == ReadState::kPending && r.interface_id == id;
  }));
}

// --- configuration ----------------------------------------------------------------------

uint32_t Machine::GetPrivateProfileStringA(const char* section, const char* key,
                                           const char* default_value, char* buffer, uint32_t size,
                                           const char* file_name) {
  if (BeginCall(Op::kGetPrivateProfileString)) {
    // A file that exists but cannot be read: the empty text, as the real reader gives.
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (config_text_) {
    return hid_system::ReadProfileString(*config_text_, section, key, default_value, buffer, size);
  }
  return hid_system::ReadProfileStringFromFile(
      hid_system::ConfigFilePath(file_name ? file_name : ""), section, key, default_value, buffer,
      size);
}

}  // namespace usborva::simulated

namespace usborva {

std::unique_ptr<SimulatedHidSystem> NewSimulatedHidSystem() {
  return std::make_unique<simulated::Machine>();
}

}  // namespace usborva
