// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_HID_RECORDER_H_
#define USBORVA_TOOLS_HID_RECORDER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recording_builder.h"
#include "usborva/hid_system.h"
#include "usborva/hid_system_wrapper.h"

namespace usborva::cli {

// Sits between the tool's tap and the HID stack while `monitor --record` runs and tells a
// RecordingBuilder what the control sees of its terminal: the identity it reads when the
// port opens (attributes, caps, strings, every feature answer, the configuration values),
// each input report as the control takes it, the failed reads and opens by which the
// terminal goes and comes back, and every poll, for the times. Every call goes on to the
// wrapped system unchanged; an idle poll costs one clock reading.
class HidRecorder final : public HidSystemWrapper {
 public:
  using Clock = std::function<std::chrono::milliseconds()>;
  using DropCounter = std::function<uint64_t()>;

  HidRecorder(HidSystem& inner, RecordingBuilder& builder)
      : HidSystemWrapper(inner), builder_(builder) {}

  // The time since the port opened; until Start every call counts as at time 0.
  void set_clock(Clock clock) { clock_ = std::move(clock); }
  // The driver's count of dropped input reports, where the system knows it.
  void set_drop_counter(DropCounter counter) { dropped_ = std::move(counter); }
  // The port is open: the timed input begins.
  void Start();

  Handle SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) override;
  Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                     const SecurityAttributes* security, uint32_t disposition,
                     uint32_t flags) override;
  bool HidD_GetAttributes(Handle device, HidAttributes* attributes) override;
  bool HidD_GetPreparsedData(Handle device, Handle* preparsed) override;
  bool HidD_FreePreparsedData(Handle preparsed) override;
  uint32_t HidP_GetCaps(Handle preparsed, HidCaps* caps) override;
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
  bool HidD_GetIndexedString(Handle device, uint32_t index, void* buffer, uint32_t length) override;
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* default_value,
                                    char* buffer, uint32_t size, const char* file_name) override;

 private:
  // A device the control opened: what it learnt of it, until it is closed.
  struct Device {
    RecordedTerminal terminal;
    std::vector<std::pair<std::pair<RecordedString, uint32_t>, std::optional<std::u16string>>>
        strings;
    std::chrono::milliseconds opened_after{0};  // the look before its open
  };
  // The read the control waits on.
  struct WaitingRead {
    Overlapped* overlapped = nullptr;
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
  };

  std::chrono::milliseconds Now() const;
  // A call on device that only the terminal the control holds gets: it is that terminal.
  void Using(Handle device);
  void StringRead(Handle device, RecordedString which, uint32_t index, bool ok, const void* buffer,
                  uint32_t length);
  uint64_t Dropped() const { return dropped_ ? dropped_() : 0; }

  RecordingBuilder& builder_;
  Clock clock_;
  DropCounter dropped_;
  bool started_ = false;
  std::map<Handle, Device> devices_;
  std::map<Handle, Handle> preparsed_;  // preparsed data -> its device
  std::optional<Handle> terminal_;      // the device the control holds
  bool described_ = false;              // the builder knows the first terminal
  WaitingRead waiting_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_HID_RECORDER_H_
