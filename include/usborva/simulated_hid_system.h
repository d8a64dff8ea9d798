// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SIMULATED_HID_SYSTEM_H_
#define USBORVA_SIMULATED_HID_SYSTEM_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/export.h"
#include "usborva/hid_system.h"
#include "usborva/protocol.h"

namespace usborva {

/// The simulated terminal's parts: its model, its interfaces, its faults and the builders
/// of its input reports.
namespace sim {

/// Report lengths of a simulated terminal unless a test says otherwise (caps lengths, report
/// ID byte included).
inline constexpr int16_t kDefaultInputReportLength = 128;
inline constexpr int16_t kDefaultFeatureReportLength = 64;  ///< Feature reports.

/// What the driver does with input reports the host has not read yet: how many it keeps and
/// which it lets go when one more arrives. A rehearsal on the simulated terminal loses
/// exactly what the production machine's driver would lose.
enum class QueuePolicy {
  /// The Windows HID class driver: keeps 32 reports (its default number of input buffers),
  /// and a report arriving at a full queue pushes out the oldest. A read the host has
  /// outstanding takes the report that arrives into its own buffer, outside the 32.
  kWindows,
  /// The Linux hidraw driver: a ring of 64 slots per open file, one of them always free, so
  /// it keeps 63 reports; a report arriving at a full ring is lost and the queued ones stay.
  /// The library's hidraw backend takes a report out of the ring only when the host
  /// collects its read, so a read that holds a report the host has not collected yet still
  /// takes one of the 63.
  kLinux,
};
/// The policy of the platform the library is built for: kWindows on Windows, kLinux
/// elsewhere. A new sim::InterfaceSpec starts with it.
inline constexpr QueuePolicy kDefaultQueuePolicy =
#ifdef _WIN32
    QueuePolicy::kWindows;
#else
    QueuePolicy::kLinux;
#endif
/// Input reports the driver keeps for an interface under policy (32 for kWindows, 63 for
/// kLinux), counted as QueuePolicy says.
constexpr size_t InputQueueDepth(QueuePolicy policy) {
  return policy == QueuePolicy::kWindows ? 32 : 63;
}
/// Lower-case names for scenario files and the tool's output: "windows", "linux". A value
/// outside the enumeration throws std::out_of_range.
USBORVA_EXPORT std::string_view QueuePolicyName(QueuePolicy policy);
/// The policy of a lower-case name; nullopt for a name that is none (case matters).
USBORVA_EXPORT std::optional<QueuePolicy> QueuePolicyFromName(std::string_view name);

/// The terminal's protocol (report IDs, card-data item types, feature reports and identity
/// items) under the names the simulator's users know: sim::kReportCardData and so on.
using enum protocol::InputReport;
using enum protocol::CardItem;
using enum protocol::FeatureReport;
using enum protocol::InfoItem;

/// How the terminal answers feature reports.
struct USBORVA_EXPORT TerminalModel {
  /// Data of the 0x0E items by item number (at most 255 bytes each; data past the report's
  /// end is cut, the length byte still says the full length). An item not listed answers
  /// with length 0.
  std::map<uint8_t, std::vector<uint8_t>> items;
  /// The eight bytes report 0x09 answers after its ID.
  std::array<uint8_t, 8> config{};
  /// Whole reports (byte 0 = ID, cut or zero-filled to the feature length) answered for a
  /// Get of that ID; an entry for 0x0E or 0x09 takes the place of the model. A Get of an ID
  /// neither the model nor this map answers fails with kErrorInvalidParameter.
  std::map<uint8_t, std::vector<uint8_t>> fixed_reports;
  /// The item the next Get of 0x0E answers; a Set of 0x0E with byte 1 = k selects k.
  uint8_t selected_item = kInfoAuthLabel;

  /// A terminal with every item filled: labels "AUTH01", "PIN:" and "MSR:" (the last two
  /// with the terminating zero byte they count), KSNs as 20 ASCII hex digits, CRC 12 34 56
  /// 78, configuration 01 02 03 04 05 06 07 08.
  static TerminalModel Default();
};

/// One HID interface of the machine. Every optional part may be left out.
struct USBORVA_EXPORT InterfaceSpec {
  /// Empty: "\\?\hid#vid_2a5c&pid_4c21#simN" from the IDs and the interface's number N.
  std::string path;
  uint16_t vendor_id = 0x2A5C;       ///< HidD_GetAttributes: the terminal's vendor
  uint16_t product_id = 0x4C21;      ///< HidD_GetAttributes: a supported product
  uint16_t version_number = 0x0100;  ///< HidD_GetAttributes
  uint16_t usage_page = 0xFF00;      ///< HidP_GetCaps: vendor-defined
  uint16_t usage = 0x0001;           ///< HidP_GetCaps
  int16_t input_report_length = kDefaultInputReportLength;      ///< HidP_GetCaps
  int16_t output_report_length = 0;                             ///< HidP_GetCaps
  int16_t feature_report_length = kDefaultFeatureReportLength;  ///< HidP_GetCaps
  /// A string left out makes its HidD_Get*String call fail.
  std::optional<std::u16string> serial_number = u"SIM00001";
  std::optional<std::u16string> product_string = u"USB Payment Terminal";  ///< The same.
  /// HidD_GetIndexedString by string index; index 4 is the firmware version.
  std::map<uint32_t, std::u16string> indexed_strings = {{4, u"1.00.0"}};
  TerminalModel terminal = TerminalModel::Default();  ///< Its answers to feature reports.
  /// How the driver queues the interface's input reports; a change applies to the next
  /// report that arrives (the reports already queued stay).
  QueuePolicy queue_policy = kDefaultQueuePolicy;
};

/// Faults a test can switch on, for the whole machine or for one interface.
enum class Fault {
  kClassDevs,        ///< SetupDiGetClassDevsA returns -1 (machine-wide only)
  kCreateEvent,      ///< CreateEventA returns 0 (machine-wide only)
  kResetEvent,       ///< ResetEvent fails (machine-wide only)
  kDetailSize,       ///< the detail-size query fails with an error other than 122
  kReadWriteAccess,  ///< CreateFileA with any access other than 0 is refused (access denied)
  kOpen,             ///< every CreateFileA of the interface is refused
  kAttributes,       ///< HidD_GetAttributes fails
  kPreparsedData,    ///< HidD_GetPreparsedData fails
  kCaps,             ///< HidP_GetCaps answers HIDP_STATUS_INVALID_PREPARSED_DATA
  kGetFeature,       ///< HidD_GetFeature fails
  kSetFeature,       ///< HidD_SetFeature fails
  kReadFile,         ///< ReadFile fails at once with kErrorGenFailure
};
/// How many faults there are: kReadFile is the last, so a new fault goes above it.
inline constexpr int kFaultCount = static_cast<int>(Fault::kReadFile) + 1;
/// Lower-case names for scenario files: "class-devs", "create-event", "reset-event",
/// "detail-size", "read-write-access", "open", "attributes", "preparsed-data", "caps",
/// "get-feature", "set-feature", "read-file". A value outside the enumeration throws
/// std::out_of_range.
USBORVA_EXPORT std::string_view FaultName(Fault fault);
/// The fault of a lower-case name; nullopt for a name that is none (case matters).
USBORVA_EXPORT std::optional<Fault> FaultFromName(std::string_view name);

/// Every operation of the HidSystem, for call counting and scheduled failures.
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
/// How many operations there are: kGetPrivateProfileString is the last, so a new one goes
/// above it.
inline constexpr int kOpCount = static_cast<int>(Op::kGetPrivateProfileString) + 1;
/// The Windows name of the operation ("CreateFileA", "HidD_GetFeature", ...). A value
/// outside the enumeration throws std::out_of_range.
USBORVA_EXPORT std::string_view OpName(Op op);

/// Kinds of handle the machine issues, for leak checks.
enum class HandleKind { kDevice, kEvent, kPreparsedData, kDeviceInfoSet };

/// Builders of the terminal's input reports from their meaning. Each returns a report of
/// length bytes (the interface's InputReportByteLength), zero-filled past its fields; fields
/// that do not fit in length are cut.
using Report = std::vector<uint8_t>;
/// Device status 0x20: the three status bytes at bytes 1 to 3.
USBORVA_EXPORT Report DeviceStatus(uint8_t device_state, uint8_t session_status,
                                   uint8_t device_status,
                                   size_t length = kDefaultInputReportLength);
/// Card status 0x22: the three status bytes at bytes 1 to 3.
USBORVA_EXPORT Report CardStatus(uint8_t op_status, uint8_t card_status, uint8_t card_type,
                                 size_t length = kDefaultInputReportLength);
/// Item types 1-7: byte 3 is the data length (data.size(), at most 255).
USBORVA_EXPORT Report CardDataItem(uint8_t type, uint8_t status, std::span<const uint8_t> data,
                                   size_t length = kDefaultInputReportLength);
/// The same with the data given as text, one byte per character.
USBORVA_EXPORT Report CardDataItem(uint8_t type, std::string_view text,
                                   size_t length = kDefaultInputReportLength);
/// Item type 99: status at byte 2, the KSN (10 bytes) from byte 4, the sigil status
/// (4 bytes) from byte 14. Short spans are zero-filled, long ones cut.
USBORVA_EXPORT Report CardDataEnd(uint8_t status, std::span<const uint8_t> ksn10,
                                  std::span<const uint8_t> sigil_status4,
                                  size_t length = kDefaultInputReportLength);
/// The four sigil-status bytes whose hex text spells value in decimal: 1000 -> 00 00 10 00.
USBORVA_EXPORT std::array<uint8_t, 4> SigilStatusBytes(uint32_t value);
/// KSN (10 bytes) from byte 2, encrypted PIN block (8 bytes) from byte 12.
USBORVA_EXPORT Report PINResponse(uint8_t op_status, std::span<const uint8_t> ksn10,
                                  std::span<const uint8_t> epb8,
                                  size_t length = kDefaultInputReportLength);
/// Select response 0x25: operation status, then the key pressed.
USBORVA_EXPORT Report SelectResponse(uint8_t op_status, uint8_t key_pressed,
                                     size_t length = kDefaultInputReportLength);
/// Display done 0x27: the display status at byte 1.
USBORVA_EXPORT Report DisplayDone(uint8_t display_status,
                                  size_t length = kDefaultInputReportLength);

}  // namespace sim

/// A machine with simulated HID interfaces and payment terminals behind them, for tests and
/// for host developers who want to run their application without a terminal. It behaves as
/// the Windows HID stack does where the transport relies on it (see hid_system.h) and adds
/// the controls a test needs: faults, hot plug, a feature-report log, handle counts. Make one
/// with NewSimulatedHidSystem; this interface is all there is of it.
///
/// Reads follow the driver: a read issued while nothing is queued stays pending, and the
/// report that arrives later is written into the caller's buffer at that moment, so a buffer
/// freed or replaced under a pending read is a use after free that AddressSanitizer reports.
/// Reports are queued per interface (whether or not a handle is open, so a test may queue
/// before opening), at most sim::InputQueueDepth of the interface's queue policy; beyond
/// that the policy says which report is dropped. A real driver queues per open handle and
/// keeps nothing while no handle is open.
///
/// Errors: the HidSystem operations fail as Windows does, with a last error, and throw
/// nothing but std::bad_alloc. So do the controls below, except that an InterfaceId
/// AddInterface did not return is a mistake of the caller's and throws std::out_of_range
/// (the counts OpenDeviceHandles and PendingReads answer 0 for it instead).
///
/// Threads: one thread only; nothing is locked. Install it on that thread with
/// InstallThreadHidSystem or ScopedHidSystem, and keep it alive while it is installed.
class USBORVA_EXPORT SimulatedHidSystem : public HidSystem {
 public:
  /// An interface of the machine: its place in the enumeration order, counted from 0 in
  /// the order AddInterface made them.
  using InterfaceId = size_t;
  /// No interface: what a FeatureExchange names for a handle that was no device, and a
  /// placeholder for an id not yet given.
  static constexpr InterfaceId kNoInterface = static_cast<InterfaceId>(-1);

  /// One HidD_GetFeature or HidD_SetFeature call, as FeatureLog keeps it.
  struct FeatureExchange {
    InterfaceId interface_id = kNoInterface;  ///< kNoInterface: the handle was no device
    bool get = false;                         ///< HidD_GetFeature, else HidD_SetFeature
    std::vector<uint8_t> sent;                ///< the buffer as the caller passed it
    std::vector<uint8_t> answer;              ///< a successful Get: the buffer as returned
    bool ok = false;                          ///< the call succeeded
  };
  /// One CreateFileA call, as OpenLog keeps it.
  struct OpenAttempt {
    std::string path;                            ///< the path as passed
    uint32_t desired_access = 0;                 ///< 0: a query-only open
    uint32_t share_mode = 0;                     ///< kFileShareRead, kFileShareWrite
    std::optional<SecurityAttributes> security;  ///< nullopt: none passed
    uint32_t creation_disposition = 0;           ///< kOpenExisting from the transport
    uint32_t flags_and_attributes = 0;           ///< kFileFlagOverlapped from the transport
    Handle result = kInvalidHandleValue;         ///< the handle returned
  };
  /// Bound of the feature and open logs (oldest dropped), so long runs stay small.
  static constexpr size_t kLogDepth = 1024;
  /// Runs after each successful HidD_SetFeature with the interface and the report as sent
  /// (feature-report length), once the terminal model has taken it in; a scenario can make the
  /// terminal answer a command with input reports. It may use any control of the machine
  /// but SetSetFeatureHook.
  using SetFeatureHook = std::function<void(InterfaceId, std::span<const uint8_t>)>;

  ~SimulatedHidSystem() override = default;

  // --- the machine

  /// Adds an interface, present, at the end of the enumeration order, and returns its id.
  virtual InterfaceId AddInterface(sim::InterfaceSpec spec) = 0;
  /// The same with every part of the description left at its default.
  InterfaceId AddInterface() { return AddInterface(sim::InterfaceSpec{}); }
  /// The interface's description, to read or change; a change applies from the next call
  /// that reads it. The reference stays valid until the next AddInterface.
  virtual sim::InterfaceSpec& Interface(InterfaceId id) = 0;
  /// The interface's terminal model (its answers to feature reports), as Interface.
  sim::TerminalModel& Terminal(InterfaceId id) { return Interface(id).terminal; }
  /// The interface leaves the enumeration; its pending reads fail with
  /// kErrorDeviceNotConnected and so does every later call on its open handles (they stay
  /// to be closed). Its queued reports are discarded. Nothing happens if it is already out.
  virtual void Unplug(InterfaceId id) = 0;
  /// The interface comes back at its place in the enumeration; old handles stay dead.
  virtual void Replug(InterfaceId id) = 0;
  /// Whether the interface is plugged in.
  virtual bool Present(InterfaceId id) const = 0;
  /// The in-memory "QXORVA.cfg" (any file name asked for gets it); nullopt (the default):
  /// the file is read from the configuration directory.
  virtual void SetConfigText(std::optional<std::string> text) = 0;

  // --- faults

  /// Switches a fault on or off for the whole machine: it applies to every interface.
  virtual void SetFault(sim::Fault fault, bool on) = 0;
  /// Switches a fault on or off for one interface.
  virtual void SetFault(InterfaceId id, sim::Fault fault, bool on) = 0;
  /// Switches a fault on, for the whole machine or for one interface.
  void SetFault(sim::Fault fault) { SetFault(fault, true); }
  /// Switches a fault on for one interface.
  void SetFault(InterfaceId id, sim::Fault fault) { SetFault(id, fault, true); }
  /// Makes the k-th HidSystem call (1-based, counted over all operations since creation;
  /// see CallCount) fail the way that operation fails on Windows, with a realistic last
  /// error. Release operations (CloseHandle, CancelIo, HidD_FreePreparsedData,
  /// SetupDiDestroyDeviceInfoList) report failure but still release, so leak counts stay
  /// meaningful; HidD_GetHidGuid cannot fail; GetPrivateProfileStringA answers the empty
  /// text. A k already past is never reached; scheduling the same k twice is one failure.
  virtual void FailCall(uint64_t k) = 0;
  /// HidSystem calls since creation, all operations together (GetLastError not counted).
  virtual uint64_t CallCount() const = 0;
  /// HidSystem calls of one operation since creation.
  virtual uint64_t CallCount(sim::Op op) const = 0;

  // --- input reports

  /// Delivers report to the oldest pending read of the interface (written into its buffer,
  /// cut or zero-filled to the read's length, its event signalled), or queues it; a full
  /// queue drops a report as the interface's sim::QueuePolicy says. Ignored while the
  /// interface is unplugged.
  virtual void QueueInputReport(InterfaceId id, std::vector<uint8_t> report) = 0;
  /// Discards the reports queued for the interface.
  virtual void ClearInputReports(InterfaceId id) = 0;
  /// Reports queued for the interface and not yet read.
  virtual size_t QueuedInputReports(InterfaceId id) const = 0;
  /// Reports the interface's queue dropped since creation because it was full (the oldest
  /// under sim::QueuePolicy::kWindows, the arriving ones under kLinux). Reports discarded by
  /// Unplug or ClearInputReports are not counted.
  virtual uint64_t DroppedInputReports(InterfaceId id) const = 0;
  /// Reads on the interface still waiting for a report.
  virtual size_t PendingReads(InterfaceId id) const = 0;

  // --- feature reports

  /// Sets the hook run after each successful HidD_SetFeature; an empty one removes it.
  virtual void SetSetFeatureHook(SetFeatureHook hook) = 0;
  /// The last kLogDepth feature exchanges, oldest first, failed ones included. The
  /// reference stays valid for the machine's life; its contents change with each exchange.
  virtual const std::deque<FeatureExchange>& FeatureLog() const = 0;

  // --- observation

  /// Handles of one kind issued and not yet closed or freed.
  virtual size_t OpenHandles(sim::HandleKind kind) const = 0;
  /// Handles of every kind issued and not yet closed or freed.
  virtual size_t OpenHandles() const = 0;
  /// Device handles of the interface not yet closed (dead ones included).
  virtual size_t OpenDeviceHandles(InterfaceId id) const = 0;
  /// Successful CreateFileA calls on the interface since creation.
  virtual uint64_t OpenCount(InterfaceId id) const = 0;
  /// The last kLogDepth CreateFileA calls, oldest first, refused ones included. The
  /// reference stays valid for the machine's life; its contents change with each call.
  virtual const std::deque<OpenAttempt>& OpenLog() const = 0;
  /// The security attributes of the last CreateFileA (nullopt: none were passed, or no
  /// open was attempted).
  virtual std::optional<SecurityAttributes> LastSecurity() const = 0;
  /// Whether event is an event handle of the machine and signalled (false for any other
  /// handle).
  virtual bool EventSignalled(Handle event) const = 0;
};

/// Makes a machine with no interfaces, no faults, no scheduled failures, no hook and no
/// in-memory configuration file. Throws std::bad_alloc only; never returns null.
USBORVA_EXPORT std::unique_ptr<SimulatedHidSystem> NewSimulatedHidSystem();

}  // namespace usborva

#endif  // USBORVA_SIMULATED_HID_SYSTEM_H_
