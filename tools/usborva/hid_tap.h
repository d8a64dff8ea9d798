// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_HID_TAP_H_
#define USBORVA_TOOLS_HID_TAP_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "usborva/hid_system.h"
#include "usborva/hid_system_wrapper.h"

namespace usborva::cli {

// Sits between the control and the platform's HID stack and watches, without changing
// anything, what a person running the tool wants to know beyond what the control tells its
// host (the connection notifications say when the terminal is lost or back, and why an open
// failed): how many input reports arrived, the report lengths, the device path. Every call
// goes on to the wrapped system unchanged.
class HidTap final : public HidSystemWrapper {
 public:
  // kConnected: the first time the control reads from a terminal; kReconnected: again
  // after a loss.
  enum class Change { kConnected, kLost, kReconnected, kReport };
  using Observer = std::function<void(Change)>;

  explicit HidTap(HidSystem& inner) : HidSystemWrapper(inner) {}

  void set_observer(Observer observer) { observer_ = std::move(observer); }

  bool connected() const { return connected_; }
  uint64_t reports() const { return reports_; }
  uint64_t connections() const { return connections_; }
  // The caps of the last device whose caps were read.
  const HidCaps& caps() const { return caps_; }
  // The path of the last device opened (the terminal the control holds, after an open).
  const std::string& opened_path() const { return opened_path_; }
  // The path of the device the control reads from (the last one it issued a read on).
  const std::string& device_path() const { return device_path_; }

  // The calls it watches; every other call is the wrapper's plain forward.
  Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                     const SecurityAttributes* security, uint32_t disposition,
                     uint32_t flags) override;
  uint32_t HidP_GetCaps(Handle preparsed, HidCaps* caps) override;
  bool ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                Overlapped* overlapped) override;
  bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                           bool wait) override;
  bool CloseHandle(Handle object) override;

 private:
  void Reading(Handle device);
  void Completed();
  void Failed();
  void Tell(Change change) {
    if (observer_) observer_(change);
  }

  Observer observer_;
  std::map<Handle, std::string> paths_;  // open device handles
  std::optional<Handle> reading_;        // the handle the control reads from
  bool connected_ = false;
  uint64_t reports_ = 0;
  uint64_t connections_ = 0;
  HidCaps caps_;
  std::string device_path_;
  std::string opened_path_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_HID_TAP_H_
