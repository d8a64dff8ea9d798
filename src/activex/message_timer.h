// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_MESSAGE_TIMER_H_
#define USBORVA_ACTIVEX_MESSAGE_TIMER_H_

#include <windows.h>

#include <functional>

#include "usborva/container.h"

namespace usborva::activex {

// A timer of the creating thread, delivered through that thread's message loop to a
// message-only window: no display is needed and the host's own loop (or a modal one such
// as a message box) drives the ticks. Ticks never arrive while the timer is disabled.
class MessageTimer final : public Timer {
 public:
  explicit MessageTimer(std::function<void()> on_tick);
  ~MessageTimer() override;
  MessageTimer(const MessageTimer&) = delete;
  MessageTimer& operator=(const MessageTimer&) = delete;

  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override;
  int32_t Interval() const override { return interval_; }

  // Registers and unregisters the window class with the component's module.
  static void RegisterWindowClass(HINSTANCE module);
  static void UnregisterWindowClass(HINSTANCE module);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Arm();

  std::function<void()> on_tick_;
  HWND window_ = nullptr;
  bool enabled_ = false;
  int32_t interval_ = 0;
};

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_MESSAGE_TIMER_H_
