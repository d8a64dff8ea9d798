// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SIMULATED_HID_SYSTEM_H_
#define USBORVA_SIMULATED_HID_SYSTEM_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "usborva/export.h"
#include "usborva/hid_system.h"
#include "usborva/protocol.h"

namespace usborva {

namespace sim {

// Report lengths of a simulated terminal unless a test says otherwise (caps lengths, report
// ID byte included).
inline constexpr int16_t kDefaultInputReportLength = 128;
inline constexpr int16_t kDefaultFeatureReportLength = 64;
// Input reports the driver keeps per interface before it drops the oldest.
inline constexpr size_t kInputQueueDepth = 32;

// The terminal's protocol (report IDs, card-data item types, feature reports and identity
// items) under the names the simulator's users know: sim::kReportCardData and so on.
using enum protocol::InputReport;
using enum protocol::CardItem;
using enum protocol::FeatureReport;
using enum protocol::InfoItem;

// How the terminal answers feature reports.
struct USBORVA_EXPORT TerminalModel {
  // Data of the 0x0E items by item number (at most 255 bytes each; data past the report's
  // end is cut, the length byte still says the full length). An item not listed answers
  // with length 0.
  std::map<uint8_t, std::vector<uint8_t>> items;
  // The eight bytes report 0x09 answers after its ID.
  std::array<uint8_t, 8> config{};
  // Whole reports (byte 0 = ID, cut or zero-filled to the feature length) answered for a
  // Get of that ID; an entry for 0x0E or 0x09 takes the place of the model. A Get of an ID
  // neither the model nor this map answers fails with kErrorInvalidParameter.
  std::map<uint8_t, std::vector<uint8_t>> fixed_reports;
  // The item the next Get of 0x0E answers; a Set of 0x0E with byte 1 = k selects k.
  uint8_t selected_item = kInfoAuthLabel;

  // A terminal with every item filled: labels "AUTH01", "PIN:" and "MSR:" (the last two
  // with the terminating zero byte they count), KSNs as 20 ASCII hex digits, CRC 12 34 56
  // 78, configuration 01 02 03 04 05 06 07 08.
  static TerminalModel Default();
};

// One HID interface of the machine. Every optional part may be left out.
struct USBORVA_EXPORT InterfaceSpec {
  // Empty: "\\?\hid#vid_2a5c&pid_4c21#simN" from the IDs and the interface's number N.
  std::string path;
  uint16_t vendor_id = 0x2A5C;
  uint16_t product_id = 0x4C21;
  uint16_t version_number = 0x0100;
  uint16_t usage_page = 0xFF00;
  uint16_t usage = 0x0001;
  int16_t input_report_length = kDefaultInputReportLength;
  int16_t output_report_length = 0;
  int16_t feature_report_length = kDefaultFeatureReportLength;
  // A string left out makes its HidD_Get*String call fail.
  std::optional<std::u16string> serial_number = u"SIM00001";
  std::optional<std::u16string> product_string = u"USB Payment Terminal";
  // HidD_GetIndexedString by string index; index 4 is the firmware version.
  std::map<uint32_t, std::u16string> indexed_strings = {{4, u"1.00.0"}};
  TerminalModel terminal = TerminalModel::Default();
};

// Faults a test can switch on, for the whole machine or for one interface.
enum class Fault {
  kClassDevs,        // SetupDiGetClassDevsA returns -1 (machine-wide only)
  kCreateEvent,      // CreateEventA returns 0 (machine-wide only)
  kResetEvent,       // ResetEvent fails (machine-wide only)
  kDetailSize,       // the detail-size query fails with an error other than 122
  kReadWriteAccess,  // CreateFileA with any access other than 0 is refused (access denied)
  kOpen,             // every CreateFileA of the interface is refused
  kAttributes,       // HidD_GetAttributes fails
  kPreparsedData,    // HidD_GetPreparsedData fails
  kCaps,             // HidP_GetCaps answers HIDP_STATUS_INVALID_PREPARSED_DATA
  kGetFeature,       // HidD_GetFeature fails
  kSetFeature,       // HidD_SetFeature fails
  kReadFile,         // ReadFile fails at once with kErrorGenFailure
};
inline constexpr int kFaultCount = 12;
// Lower-case names for scenario files: "class-devs", "create-event", "reset-event",
// "detail-size", "read-write-access", "open", "attributes", "preparsed-data", "caps",
// "get-feature", "set-feature", "read-file".
USBORVA_EXPORT std::string_view FaultName(Fault fault);
USBORVA_EXPORT std::optional<Fault> FaultFromName(std::string_view name);

// Every operation of the HidSystem, for call counting and scheduled failures.
enum class Op {
  kGetHidGuid,
  kGetClassDevs,
  kEnumDeviceInterfaces,
  kGetDeviceInterfaceDetail,
  kDestroyDeviceInfoList,
  kCreateFile,
  kGetAttributes,
  kGetPreparsedData,
  kFreePreparsedData,
  kGetCaps,
  kCreateEvent,
  kResetEvent,
  kReadFile,
  kGetOverlappedResult,
  kCancelIo,
  kCloseHandle,
  kGetFeature,
  kSetFeature,
  kGetSerialNumberString,
  kGetProductString,
  kGetIndexedString,
  kGetPrivateProfileString,
};
inline constexpr int kOpCount = 22;
// The Windows name of the operation ("CreateFileA", "HidD_GetFeature", ...).
USBORVA_EXPORT std::string_view OpName(Op op);

// Kinds of handle the machine issues, for leak checks.
enum class HandleKind { kDevice, kEvent, kPreparsedData, kDeviceInfoSet };

// Builders of the terminal's input reports from their meaning. Each returns a report of
// length bytes (the interface's InputReportByteLength), zero-filled past its fields; fields
// that do not fit in length are cut.
using Report = std::vector<uint8_t>;
USBORVA_EXPORT Report DeviceStatus(uint8_t device_state, uint8_t session_status,
                                   uint8_t device_status,
                                   size_t length = kDefaultInputReportLength);
USBORVA_EXPORT Report CardStatus(uint8_t op_status, uint8_t card_status, uint8_t card_type,
                                 size_t length = kDefaultInputReportLength);
// Item types 1-7: byte 3 is the data length (data.size(), at most 255).
USBORVA_EXPORT Report CardDataItem(uint8_t type, uint8_t status, std::span<const uint8_t> data,
                                   size_t length = kDefaultInputReportLength);
// The same with the data given as text, one byte per character.
USBORVA_EXPORT Report CardDataItem(uint8_t type, std::string_view text,
                                   size_t length = kDefaultInputReportLength);
// Item type 99: status at byte 2, the KSN (10 bytes) from byte 4, the sigil status
// (4 bytes) from byte 14. Short spans are zero-filled, long ones cut.
USBORVA_EXPORT Report CardDataEnd(uint8_t status, std::span<const uint8_t> ksn10,
                                  std::span<const uint8_t> sigil_status4,
                                  size_t length = kDefaultInputReportLength);
// The four sigil-status bytes whose hex text spells value in decimal: 1000 -> 00 00 10 00.
USBORVA_EXPORT std::array<uint8_t, 4> SigilStatusBytes(uint32_t value);
// KSN (10 bytes) from byte 2, encrypted PIN block (8 bytes) from byte 12.
USBORVA_EXPORT Report PINResponse(uint8_t op_status, std::span<const uint8_t> ksn10,
                                  std::span<const uint8_t> epb8,
                                  size_t length = kDefaultInputReportLength);
USBORVA_EXPORT Report SelectResponse(uint8_t op_status, uint8_t key_pressed,
                                     size_t length = kDefaultInputReportLength);
USBORVA_EXPORT Report DisplayDone(uint8_t display_status,
                                  size_t length = kDefaultInputReportLength);

}  // namespace sim

// A machine with simulated HID interfaces and payment terminals behind them, for tests and
// for host developers who want to run their application without a terminal. It behaves as
// the Windows HID stack does where the transport relies on it (see hid_system.h) and adds
// the controls a test needs: faults, hot plug, a feature-report log, handle counts.
//
// Reads follow the driver: a read issued while nothing is queued stays pending, and the
// report that arrives later is written into the caller's buffer at that moment, so a buffer
// freed or replaced under a pending read is a use after free that AddressSanitizer reports.
// Reports are queued per interface (whether or not a handle is open, so a test may queue
// before opening), at most kInputQueueDepth, the oldest dropped beyond that.
//
// One thread only; nothing is locked. Install it with InstallThreadHidSystem or
// ScopedHidSystem.
class USBORVA_EXPORT SimulatedHidSystem : public HidSystem {
 public:
  using InterfaceId = size_t;
  static constexpr InterfaceId kNoInterface = static_cast<InterfaceId>(-1);

  struct FeatureExchange {
    InterfaceId interface_id = kNoInterface;  // kNoInterface: the handle was no device
    bool get = false;                         // HidD_GetFeature, else HidD_SetFeature
    std::vector<uint8_t> sent;                // the buffer as the caller passed it
    std::vector<uint8_t> answer;              // a successful Get: the buffer as returned
    bool ok = false;
  };
  struct OpenAttempt {
    std::string path;
    uint32_t desired_access = 0;
    uint32_t share_mode = 0;
    std::optional<SecurityAttributes> security;  // nullopt: none passed
    uint32_t creation_disposition = 0;
    uint32_t flags_and_attributes = 0;
    Handle result = kInvalidHandleValue;
  };
  // Bound of the feature and open logs (oldest dropped), so long runs stay small.
  static constexpr size_t kLogDepth = 1024;

  SimulatedHidSystem();
  ~SimulatedHidSystem() override;
  SimulatedHidSystem(const SimulatedHidSystem&) = delete;
  SimulatedHidSystem& operator=(const SimulatedHidSystem&) = delete;

  // --- the machine
  // Adds an interface (present) at the end of the enumeration order.
  InterfaceId AddInterface(sim::InterfaceSpec spec = {});
  size_t InterfaceCount() const { return interfaces_.size(); }
  // The interface's description; changes apply from the next call that reads them.
  sim::InterfaceSpec& Interface(InterfaceId id);
  sim::TerminalModel& Terminal(InterfaceId id) { return Interface(id).terminal; }
  // The interface leaves the enumeration; its pending reads fail with
  // kErrorDeviceNotConnected and so does every later call on its open handles (they stay
  // to be closed). Its queued reports are discarded.
  void Unplug(InterfaceId id);
  // The interface comes back at its place in the enumeration; old handles stay dead.
  void Replug(InterfaceId id);
  bool Present(InterfaceId id) const;

  // The in-memory "QXORVA.cfg" (any file name asked for gets it); nullopt (the default):
  // the file is read from the configuration directory.
  void SetConfigText(std::optional<std::string> text);

  // --- faults
  // Machine-wide: applies to every interface.
  void SetFault(sim::Fault fault, bool on = true);
  void SetFault(InterfaceId id, sim::Fault fault, bool on = true);
  void ClearFaults();
  // Makes the k-th HidSystem call (1-based, counted over all operations since creation;
  // see CallCount) fail the way that operation fails on Windows, with a realistic last
  // error. Release operations (CloseHandle, CancelIo, HidD_FreePreparsedData,
  // SetupDiDestroyDeviceInfoList) report failure but still release, so leak counts stay
  // meaningful; HidD_GetHidGuid cannot fail; GetPrivateProfileStringA answers the default.
  void FailCall(uint64_t k);
  uint64_t CallCount() const { return call_count_; }
  uint64_t CallCount(sim::Op op) const { return op_counts_[static_cast<size_t>(op)]; }

  // --- input reports
  // Delivers report to the oldest pending read of the interface (written into its buffer,
  // its event signalled), or queues it. Ignored while the interface is unplugged.
  void QueueInputReport(InterfaceId id, std::vector<uint8_t> report);
  void ClearInputReports(InterfaceId id);
  size_t QueuedInputReports(InterfaceId id) const;
  uint64_t DroppedInputReports(InterfaceId id) const;
  size_t PendingReads(InterfaceId id) const;

  // --- feature reports: set_hook runs after each successful HidD_SetFeature (a scenario can
  // make the terminal answer a command with input reports).
  using SetFeatureHook = std::function<void(InterfaceId, std::span<const uint8_t>)>;
  void SetSetFeatureHook(SetFeatureHook hook) { set_hook_ = std::move(hook); }
  const std::deque<FeatureExchange>& FeatureLog() const { return feature_log_; }
  void ClearFeatureLog() { feature_log_.clear(); }

  // --- observation
  size_t OpenHandles(sim::HandleKind kind) const;
  size_t OpenHandles() const { return handles_.size(); }
  // Device handles of the interface not yet closed (dead ones included).
  size_t OpenDeviceHandles(InterfaceId id) const;
  // Successful CreateFileA calls on the interface since creation.
  uint64_t OpenCount(InterfaceId id) const;
  const std::deque<OpenAttempt>& OpenLog() const { return open_log_; }
  // The security attributes of the last CreateFileA (nullopt: none were passed, or no
  // open was attempted).
  std::optional<SecurityAttributes> LastSecurity() const;
  bool EventSignalled(Handle event) const;

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
  std::array<size_t, 4> open_by_kind_{};
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

}  // namespace usborva

#endif  // USBORVA_SIMULATED_HID_SYSTEM_H_
