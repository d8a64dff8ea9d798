// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_SIMULATED_SIMULATED_HID_SYSTEM_H_
#define USBORVA_PLATFORM_SIMULATED_SIMULATED_HID_SYSTEM_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "usborva/hid_system.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::simulated {

// The simulated machine behind SimulatedHidSystem (usborva/simulated_hid_system.h, where
// its behaviour is described); NewSimulatedHidSystem is the only way to one. The HidSystem
// operations live in simulated_hid_system.cc, the feature reports and device strings in
// simulated_features.cc.
class Machine final : public SimulatedHidSystem {
 public:
  Machine();
  ~Machine() override;
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // --- SimulatedHidSystem
  InterfaceId AddInterface(sim::InterfaceSpec spec) override;
  sim::InterfaceSpec& Interface(InterfaceId id) override;
  void Unplug(InterfaceId id) override;
  void Replug(InterfaceId id) override;
  bool Present(InterfaceId id) const override;
  void SetConfigText(std::optional<std::string> text) override;
  void SetFault(sim::Fault fault, bool on) override;
  void SetFault(InterfaceId id, sim::Fault fault, bool on) override;
  void FailCall(uint64_t k) override;
  uint64_t CallCount() const override { return call_count_; }
  uint64_t CallCount(sim::Op op) const override { return op_counts_[static_cast<size_t>(op)]; }
  void QueueInputReport(InterfaceId id, std::vector<uint8_t> report) override;
  void ClearInputReports(InterfaceId id) override;
  size_t QueuedInputReports(InterfaceId id) const override;
  uint64_t DroppedInputReports(InterfaceId id) const override;
  size_t PendingReads(InterfaceId id) const override;
  void SetSetFeatureHook(SetFeatureHook hook) override { set_hook_ = std::move(hook); }
  const std::deque<FeatureExchange>& FeatureLog() const override { return feature_log_; }
  size_t OpenHandles(sim::HandleKind kind) const override;
  size_t OpenHandles() const override { return handles_.size(); }
  size_t OpenDeviceHandles(InterfaceId id) const override;
  uint64_t OpenCount(InterfaceId id) const override;
  const std::deque<OpenAttempt>& OpenLog() const override { return open_log_; }
  std::optional<SecurityAttributes> LastSecurity() const override;
  bool EventSignalled(Handle event) const override;

  // --- HidSystem
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
  // How many kinds of handle there are: kDeviceInfoSet is the last.
  static constexpr size_t kHandleKindCount =
      static_cast<size_t>(sim::HandleKind::kDeviceInfoSet) + 1;

  struct InterfaceState {
    sim::InterfaceSpec spec;
    bool present = true;
    uint64_t generation = 0;  // advanced by Unplug: handles of an older one are dead
    std::deque<std::vector<uint8_t>> queue;
    uint64_t dropped = 0;
    uint64_t opens = 0;
    std::array<bool, sim::kFaultCount> faults{};
  };
  struct HandleEntry {
    sim::HandleKind kind = sim::HandleKind::kDevice;
    InterfaceId interface_id = kNoInterface;  // devices and preparsed data
    uint64_t generation = 0;                  // devices: the interface's at open
    uint32_t access = 0;                      // devices
    HidCaps caps;                             // preparsed data: the caps at its making
    bool signalled = false;                   // events
    std::vector<InterfaceId> members;         // device-info sets: the present interfaces
  };
  enum class ReadState { kPending, kDone, kFailed };
  // One overlapped read, from ReadFile until GetOverlappedResult collects it or the
  // handle is cancelled or closed.
  struct Read {
    Handle device = 0;
    InterfaceId interface_id = kNoInterface;
    uint8_t* buffer = nullptr;  // the caller's, written when a report arrives
    uint32_t length = 0;
    Overlapped* overlapped = nullptr;
    ReadState state = ReadState::kPending;
    uint32_t error = 0;
    uint32_t bytes = 0;
  };

  // Counts the call; true when it is scheduled to fail.
  bool BeginCall(sim::Op op);
  bool Fail(uint32_t error);
  bool FaultOn(InterfaceId id, sim::Fault fault) const;
  HandleEntry& Issue(sim::HandleKind kind, Handle* handle);
  void Release(Handle handle);
  HandleEntry* Find(Handle handle, sim::HandleKind kind);
  const HandleEntry* Find(Handle handle, sim::HandleKind kind) const;
  // The device handle's entry when it is live; else sets the last error and answers
  // nullptr (kErrorInvalidHandle, or kErrorDeviceNotConnected for a dead handle).
  HandleEntry* LiveDevice(Handle device);
  std::string PathOf(InterfaceId id) const;
  InterfaceId FindPath(const char* path) const;
  void Complete(Read& read, const std::vector<uint8_t>& report);
  // The reports of the interface a hidraw ring would hold: those queued and those in reads
  // completed but not yet collected.
  size_t HeldReports(InterfaceId id) const;
  void SignalEvent(Handle event, bool signalled);
  // Ends the pending reads of the interface (or of one device handle) with error: the
  // buffers are let go and the overlapped records say why.
  void EndReads(InterfaceId id, Handle device, uint32_t error, uintptr_t status);
  uint8_t Feature(bool get, Handle device, uint8_t* report, uint32_t length);
  // The three string calls; string_index is read for kGetIndexedString only.
  bool DeviceString(sim::Op op, Handle device, uint32_t string_index, void* buffer,
                    uint32_t length);
  void Log(FeatureExchange exchange);

  std::vector<InterfaceState> interfaces_;
  std::unordered_map<Handle, HandleEntry> handles_;
  std::vector<Read> reads_;
  std::array<uint64_t, sim::kOpCount> op_counts_{};
  std::array<size_t, kHandleKindCount> open_by_kind_{};
  std::vector<uint64_t> fail_calls_;  // sorted
  std::array<bool, sim::kFaultCount> machine_faults_{};
  std::optional<std::string> config_text_;
  std::deque<FeatureExchange> feature_log_;
  std::deque<OpenAttempt> open_log_;
  SetFeatureHook set_hook_;
  uint64_t call_count_ = 0;
  Handle next_handle_ = 0x1000;
  uint32_t last_error_ = 0;
  bool failing_ = false;  // the current call was scheduled to fail
};

}  // namespace usborva::simulated

#endif  // USBORVA_PLATFORM_SIMULATED_SIMULATED_HID_SYSTEM_H_
