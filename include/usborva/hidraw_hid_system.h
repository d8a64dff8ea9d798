// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HIDRAW_HID_SYSTEM_H_
#define USBORVA_HIDRAW_HID_SYSTEM_H_

#include <memory>
#include <string>

#include "usborva/export.h"
#include "usborva/hid_system.h"

namespace usborva {

/// Where the Linux backend looks: sysfs for enumeration and identity, the device root for
/// the hidraw nodes (`<dev_root>/hidrawN`) and usbfs (`<dev_root>/bus/usb`).
struct USBORVA_EXPORT HidrawRoots {
  std::string sysfs_root = "/sys";  ///< Where sysfs is mounted.
  std::string dev_root = "/dev";    ///< Where the device nodes are.
};

/// The HID stack over Linux hidraw. Each operation keeps the contract the transport relies
/// on; how it is met:
/// - Enumeration lists `<sysfs>/class/hidraw` in node-number order; the device path of each
///   interface is its node under the device root. No libudev.
/// - Read/write access opens the node O_RDWR | O_NONBLOCK | O_CLOEXEC. Access 0 (the
///   query-only open) opens it O_PATH: no permission on the node is needed, the node must
///   exist, identity and caps come from sysfs, and reads and feature reports fail with
///   access denied, as they do on a query-only handle. Handles never leak into children.
/// - Attributes come from HIDIOCGRAWINFO (sysfs HID_ID on a query-only handle); preparsed
///   data and caps from the report descriptor (HIDIOCGRDESC, else sysfs report_descriptor).
/// - An overlapped read is a non-blocking step: a report queued in the kernel completes at
///   once, else the read stays pending and GetOverlappedResult collects it once poll() says
///   the node is readable. The report lands with byte 0 = report ID (0 for a device that
///   does not number its reports, its data from byte 1), zero-filled to the input length.
///   A gone device (POLLERR/POLLHUP/POLLNVAL, EIO, ENODEV, ENOTCONN) fails the read with
///   kErrorDeviceNotConnected. After CancelIo or CloseHandle the buffer is never touched.
/// - Feature reports go through HIDIOCGFEATURE / HIDIOCSFEATURE with the caller's length;
///   the bytes past a short answer are zeroed.
/// - Serial and product strings come from the USB device in sysfs (else HID_UNIQ /
///   HIDIOCGRAWUNIQ, HID_NAME / HIDIOCGRAWNAME); indexed strings through usbfs when the
///   node may be opened for writing, else the call fails.
/// - Handles are numbers from a counter, never descriptors; 0 and -1 are never issued.
/// Never throws. One instance serves one thread.
class USBORVA_EXPORT HidrawHidSystem final : public HidSystem {
 public:
  /// The machine's own /sys and /dev: nothing in the environment redirects them.
  HidrawHidSystem();
  /// Other roots: a test's fake sysfs and device tree.
  explicit HidrawHidSystem(HidrawRoots roots);
  ~HidrawHidSystem() override;
  HidrawHidSystem(const HidrawHidSystem&) = delete;
  HidrawHidSystem& operator=(const HidrawHidSystem&) = delete;

  const HidrawRoots& roots() const;  ///< Where it looks.

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

  /// Bare file names are looked for in the configuration directory ($USBORVA_CONFIG_DIR,
  /// else /etc); the INI rules are the transport's.
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override;

  uint32_t GetLastError() override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace usborva

#endif  // USBORVA_HIDRAW_HID_SYSTEM_H_
