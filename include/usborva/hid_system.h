// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_H_
#define USBORVA_HID_SYSTEM_H_

#include <cstdint>

#include "usborva/export.h"

namespace usborva {

/// @file
/// The platform operations the HID transport is written against, one per operation of the
/// Windows HID stack that the transport calls, in the Windows vocabulary the transport
/// logic relies on: Boolean results, last-error codes, report buffers whose byte 0 is the
/// report ID and whose length is the caps length.

/// Handles are opaque values issued by the backend. 0 and -1 are never valid handles, so
/// closing a never-initialised record touches nothing (on Linux a raw descriptor 0 would
/// be the host's standard input). Backends never throw.
using Handle = intptr_t;
/// INVALID_HANDLE_VALUE: what a failed open or enumeration returns.
inline constexpr Handle kInvalidHandleValue = -1;

/// Last-error codes the transport tests.
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorIoIncomplete = 996;  ///< ERROR_IO_INCOMPLETE: still reading
inline constexpr uint32_t kErrorIoPending = 997;     ///< ERROR_IO_PENDING: the read is queued
/// Last-error codes backends report for other failures (realistic, never tested by logic).
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;           ///< ERROR_ACCESS_DENIED
inline constexpr uint32_t kErrorInvalidHandle = 6;          ///< ERROR_INVALID_HANDLE
inline constexpr uint32_t kErrorNotEnoughMemory = 8;        ///< ERROR_NOT_ENOUGH_MEMORY
inline constexpr uint32_t kErrorGenFailure = 31;            ///< ERROR_GEN_FAILURE
inline constexpr uint32_t kErrorNotSupported = 50;          ///< ERROR_NOT_SUPPORTED
inline constexpr uint32_t kErrorInvalidParameter = 87;      ///< ERROR_INVALID_PARAMETER
inline constexpr uint32_t kErrorNoMoreItems = 259;          ///< ERROR_NO_MORE_ITEMS
inline constexpr uint32_t kErrorOperationAborted = 995;     ///< ERROR_OPERATION_ABORTED
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;  ///< ERROR_DEVICE_NOT_CONNECTED
/// A record of the caller's whose cbSize is not one of the sizes the system knows.
inline constexpr uint32_t kErrorInvalidUserBuffer = 1784;

/// Flags and modes the transport passes.
inline constexpr uint32_t kDigcfPresent = 0x02;
inline constexpr uint32_t kDigcfDeviceInterface = 0x10;       ///< DIGCF_DEVICEINTERFACE
inline constexpr uint32_t kGenericRead = 0x80000000u;         ///< GENERIC_READ access
inline constexpr uint32_t kGenericWrite = 0x40000000u;        ///< GENERIC_WRITE access
inline constexpr uint32_t kFileShareRead = 1;                 ///< FILE_SHARE_READ
inline constexpr uint32_t kFileShareWrite = 2;                ///< FILE_SHARE_WRITE
inline constexpr uint32_t kOpenExisting = 3;                  ///< OPEN_EXISTING
inline constexpr uint32_t kFileFlagOverlapped = 0x40000000u;  ///< FILE_FLAG_OVERLAPPED
inline constexpr uint32_t kHidpStatusSuccess = 0x00110000u;   ///< HIDP_STATUS_SUCCESS
/// HidP_GetCaps on something that is not preparsed data (HIDP_STATUS_INVALID_PREPARSED_DATA).
inline constexpr uint32_t kHidpStatusInvalidPreparsedData = 0xC0110001u;

/// NTSTATUS values a driver leaves in OVERLAPPED.Internal while and after it serves a read.
inline constexpr uintptr_t kStatusSuccess = 0;
inline constexpr uintptr_t kStatusPending = 0x103;          ///< STATUS_PENDING
inline constexpr uintptr_t kStatusCancelled = 0xC0000120u;  ///< STATUS_CANCELLED
/// STATUS_DEVICE_NOT_CONNECTED: the device went away under the read.
inline constexpr uintptr_t kStatusDeviceNotConnected = 0xC000009Du;

/// Sizes of the records the transport fills, as a 32-bit program lays them out (the layout
/// the transport's logic was written for); cbSize / Size fields carry them.
inline constexpr uint32_t kHidAttributesSize = 12;          ///< HIDD_ATTRIBUTES
inline constexpr uint32_t kDeviceInterfaceDataSize32 = 28;  ///< SP_DEVICE_INTERFACE_DATA
/// SP_DEVICE_INTERFACE_DETAIL_DATA_A: a 4-byte cbSize, then the zero-terminated device path.
/// cbSize is 5 in a 32-bit process and 8 in a 64-bit one; both put the path at byte 4.
inline constexpr uint32_t kDetailDataCbSize32 = 5;
inline constexpr uint32_t kDetailDataCbSize64 = 8;    ///< cbSize of a 64-bit process
inline constexpr uint32_t kDetailDataPathOffset = 4;  ///< where DevicePath starts

/// GUID: a device interface class.
struct USBORVA_EXPORT Guid {
  uint32_t Data1 = 0;     ///< The first eight hex digits.
  uint16_t Data2 = 0;     ///< The next four.
  uint16_t Data3 = 0;     ///< The next four.
  uint8_t Data4[8] = {};  ///< The last sixteen, as bytes.
  /// Every field equal.
  friend bool operator==(const Guid&, const Guid&) = default;
};

/// The HID device interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}: what
/// HidD_GetHidGuid answers on every system.
inline constexpr Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

/// SP_DEVICE_INTERFACE_DATA.
struct USBORVA_EXPORT DeviceInterfaceData {
  uint32_t cbSize = 0;      ///< kDeviceInterfaceDataSize32, set by the caller.
  Guid InterfaceClassGuid;  ///< The interface's class: kHidInterfaceGuid.
  uint32_t Flags = 0;       ///< SPINT_ flags; the transport reads none.
  uintptr_t Reserved = 0;   ///< The backend's own reference to the interface.
};

/// SECURITY_ATTRIBUTES: the transport fills it before each open.
struct USBORVA_EXPORT SecurityAttributes {
  uint32_t nLength = 0;                ///< The record's size.
  uintptr_t lpSecurityDescriptor = 0;  ///< 0: the default security.
  int32_t bInheritHandle = 0;          ///< non-zero: the handle is inherited by child processes
};

/// HIDD_ATTRIBUTES.
struct USBORVA_EXPORT HidAttributes {
  uint32_t Size = 0;           ///< kHidAttributesSize, set by the caller.
  uint16_t VendorID = 0;       ///< USB vendor ID.
  uint16_t ProductID = 0;      ///< USB product ID.
  uint16_t VersionNumber = 0;  ///< The device's release number (bcdDevice).
};
static_assert(sizeof(HidAttributes) == kHidAttributesSize);

/// HIDP_CAPS: the fields the transport reads, plus those a backend naturally fills.
struct USBORVA_EXPORT HidCaps {
  uint16_t Usage = 0;                   ///< The top-level collection's usage.
  uint16_t UsagePage = 0;               ///< The top-level collection's usage page.
  int16_t InputReportByteLength = 0;    ///< Longest input report, report-ID byte included.
  int16_t OutputReportByteLength = 0;   ///< Longest output report, report-ID byte included.
  int16_t FeatureReportByteLength = 0;  ///< Longest feature report, report-ID byte included.
};

/// OVERLAPPED.
struct USBORVA_EXPORT Overlapped {
  uintptr_t Internal = 0;      ///< The read's status: kStatusPending while it is served.
  uintptr_t InternalHigh = 0;  ///< Bytes transferred, once complete.
  uint32_t Offset = 0;         ///< Unused for HID: 0.
  uint32_t OffsetHigh = 0;     ///< Unused for HID: 0.
  Handle hEvent = 0;           ///< The event set when the read completes.
};

/// The contract every backend keeps, for every operation below: it is called on the thread
/// that installed (or natively owns) the system, never re-entrantly; it never throws; a
/// failure returns false (or the stated failure value) and sets the thread's last error,
/// which GetLastError() answers until the next failing call; a success may leave the last
/// error as it was. No operation but the reads blocks, and those only when asked to wait.
/// Memory the caller passes stays the caller's; a backend writes only within the lengths
/// given. Handles a backend issues it also frees, when the caller hands them back to the
/// matching release call (SetupDiDestroyDeviceInfoList, HidD_FreePreparsedData,
/// CloseHandle); an unknown handle fails with kErrorInvalidHandle and touches nothing.
class USBORVA_EXPORT HidSystem {
 public:
  virtual ~HidSystem() = default;

  // --- discovery (setupapi / hid.dll). Called when a port opens and on every reconnect
  // attempt of the poll loop; may do bus or file-system I/O, never block on a device.

  /// The HID device interface class (kHidInterfaceGuid). Cannot fail.
  virtual void HidD_GetHidGuid(Guid* hid_guid) = 0;
  /// A device information set of the interfaces of class_guid present now (kDigcfPresent),
  /// as interfaces (kDigcfDeviceInterface). No enumerator, no window. kInvalidHandleValue on
  /// failure. The caller frees the set with SetupDiDestroyDeviceInfoList.
  virtual Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) = 0;
  /// Fills data for member member_index (from 0) of the set. No device-info data. False with
  /// kErrorNoMoreItems ends the enumeration; the caller sets data->cbSize (a backend may
  /// refuse another than kDeviceInterfaceDataSize32 or the native size with
  /// kErrorInvalidUserBuffer).
  virtual bool SetupDiEnumDeviceInterfaces(Handle device_info_set, const Guid& interface_guid,
                                           int32_t member_index, DeviceInterfaceData* data) = 0;
  /// With buffer null and size 0: false with last error kErrorInsufficientBuffer, and the
  /// required size. With a buffer: SP_DEVICE_INTERFACE_DETAIL_DATA_A (cbSize in the first
  /// four bytes, kDetailDataCbSize32 or kDetailDataCbSize64, else kErrorInvalidUserBuffer;
  /// DevicePath from byte 4, zero-terminated); too small a buffer gives
  /// kErrorInsufficientBuffer again. No device-info data.
  virtual bool SetupDiGetDeviceInterfaceDetailA(Handle device_info_set,
                                                const DeviceInterfaceData& data, uint8_t* buffer,
                                                uint32_t buffer_size, uint32_t* required_size) = 0;
  /// Frees the set and everything its records named.
  virtual bool SetupDiDestroyDeviceInfoList(Handle device_info_set) = 0;

  // --- open, identity and caps. Called while a port opens or reconnects, for each candidate.

  /// Opens the device at path (a path a detail query gave). desired_access is
  /// kGenericRead | kGenericWrite, or 0 for a query-only handle whose reads and feature
  /// reports fail with kErrorAccessDenied. No template. kInvalidHandleValue on failure (last
  /// error set: kErrorFileNotFound, kErrorAccessDenied, ...). The handle must not be
  /// inherited by child processes; the caller closes it with CloseHandle.
  virtual Handle CreateFileA(const char* path, uint32_t desired_access, uint32_t share_mode,
                             const SecurityAttributes* security, uint32_t creation_disposition,
                             uint32_t flags_and_attributes) = 0;
  /// Vendor, product and version of an open device; Size is kHidAttributesSize.
  virtual bool HidD_GetAttributes(Handle device, HidAttributes* attributes) = 0;
  /// A preparsed-data handle for the device's report descriptor; the caller frees it with
  /// HidD_FreePreparsedData, which a handle closed meanwhile does not do.
  virtual bool HidD_GetPreparsedData(Handle device, Handle* preparsed_data) = 0;
  /// Frees preparsed data HidD_GetPreparsedData gave.
  virtual bool HidD_FreePreparsedData(Handle preparsed_data) = 0;
  /// The report lengths (byte 0, the report ID, included). kHidpStatusSuccess on success,
  /// kHidpStatusInvalidPreparsedData for a handle that is not preparsed data; caps untouched
  /// on failure.
  virtual uint32_t HidP_GetCaps(Handle preparsed_data, HidCaps* caps) = 0;

  // --- events and overlapped input. Called from the poll tick: no allocation, no blocking
  // (GetOverlappedResult with wait false), at most one non-blocking step of I/O.

  /// An event for the overlapped read. No attributes, no name. The caller closes it.
  virtual Handle CreateEventA(bool manual_reset, bool initial_state) = 0;
  /// Clears the event before the next read is queued.
  virtual bool ResetEvent(Handle event) = 0;
  /// Reads one input report into buffer (bytes_to_read is the caps input length). True:
  /// complete now, *bytes_read set. False with kErrorIoPending: outstanding; the backend keeps
  /// the buffer and writes the report into it when it arrives, as a driver does, so the caller
  /// must keep the buffer until the read completes or is cancelled. A gone device fails with
  /// kErrorDeviceNotConnected.
  virtual bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read,
                        uint32_t* bytes_read, Overlapped* overlapped) = 0;
  /// True: complete, *bytes set. False with kErrorIoIncomplete: still outstanding (only when
  /// wait is false); any other error ended the read (kErrorOperationAborted after CancelIo,
  /// kErrorDeviceNotConnected after an unplug).
  virtual bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                   bool wait) = 0;
  /// When CancelIo returns, the backend no longer touches the buffer of a cancelled read.
  virtual bool CancelIo(Handle device) = 0;
  /// Closes a device or event handle; a read still outstanding on a device is cancelled first.
  /// The transport never closes 0 or kInvalidHandleValue; a backend that issues its own
  /// handle numbers fails such a call with kErrorInvalidHandle.
  virtual bool CloseHandle(Handle object) = 0;

  // --- feature reports and strings. Called from host calls on an open port (never from
  // the poll tick); each is one exchange with the device and may wait for its answer.

  /// The Boolean byte of the Windows call: 1 success, 0 failure. report[0] is the report ID
  /// and length the caps feature length; a Get fills report (bytes past a short answer
  /// zeroed).
  virtual uint8_t HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) = 0;
  /// Sends report (report[0] the report ID, length the caps feature length). 1 success, 0
  /// failure.
  virtual uint8_t HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) = 0;
  /// The USB serial-number string: UTF-16LE into buffer (length in bytes), NUL-terminated
  /// when shorter than the buffer.
  virtual bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) = 0;
  /// The USB product string, as HidD_GetSerialNumberString.
  virtual bool HidD_GetProductString(Handle device, void* buffer, uint32_t length) = 0;
  /// The USB string descriptor string_index (4: the terminal's firmware), as
  /// HidD_GetSerialNumberString.
  virtual bool HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                                     uint32_t length) = 0;

  // --- configuration: the INI value reader, given a bare file name (found in the
  // configuration directory). Called while a port opens; reads one bounded file.
  /// Copies at most size - 1 characters and a NUL into buffer; returns the count copied. A
  /// missing file, section or key gives default_value. The emulating backends give "" for a
  /// file that exists but cannot be read, so a file meant to restrict terminals never
  /// silently stops restricting (the Windows profile reader gives the default).
  virtual uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                            const char* default_value, char* buffer, uint32_t size,
                                            const char* file_name) = 0;

  /// The last error of the most recent failed call on this thread. Never fails, never
  /// changes the last error.
  virtual uint32_t GetLastError() = 0;
};

/// The build's native backend as the calling thread sees it: the system ThreadHidSystem()
/// answers while nothing is installed. The backend is chosen when the library is built (the
/// CMake cache variable USBORVA_BACKEND: hidraw on Linux, the Windows HID stack in the
/// Windows component, elsewhere a machine with no devices) and provides this function; the
/// seam itself knows no backend. The system lives as long as the thread (or the process).
USBORVA_EXPORT HidSystem& NativeHidSystem();

/// The HidSystem of the calling thread. Each thread has its own; until one is installed the
/// build's native backend serves.
USBORVA_EXPORT HidSystem& ThreadHidSystem();
/// Installs system for the calling thread (nullptr restores the default); returns the
/// previous one. The caller keeps ownership and must keep it alive while it is installed.
USBORVA_EXPORT HidSystem* InstallThreadHidSystem(HidSystem* system);

/// Installs a system for the calling thread for the life of the guard, then puts back the
/// one installed before.
class USBORVA_EXPORT ScopedHidSystem {
 public:
  /// Installs system; it must outlive the guard.
  explicit ScopedHidSystem(HidSystem& system) : previous_(InstallThreadHidSystem(&system)) {}
  ~ScopedHidSystem() { InstallThreadHidSystem(previous_); }
  ScopedHidSystem(const ScopedHidSystem&) = delete;
  ScopedHidSystem& operator=(const ScopedHidSystem&) = delete;

 private:
  HidSystem* previous_;
};

}  // namespace usborva

#endif  // USBORVA_HID_SYSTEM_H_
