// SPDX-License-Identifier: Apache-2.0
#include "activex/message_timer.h"

#include "activex/com_entry.h"

namespace usborva::activex {
namespace {

constexpr wchar_t kWindowClass[] = L"USBORVA.tmrMain";
constexpr UINT_PTR kTimerId = 1;
HINSTANCE window_module = nullptr;

}  // namespace

void MessageTimer::RegisterWindowClass(HINSTANCE module) {
  window_module = module;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &MessageTimer::WindowProc;
  window_class.hInstance = module;
  window_class.lpszClassName = kWindowClass;
  RegisterClassExW(&window_class);
}

void MessageTimer::UnregisterWindowClass(HINSTANCE module) {
  UnregisterClassW(kWindowClass, module);
}

MessageTimer::MessageTimer(std::function<void()> on_tick) : on_tick_(std::move(on_tick)) {
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            window_module, nullptr);
  if (window_ != nullptr) SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
}

MessageTimer::~MessageTimer() {
  if (window_ == nullptr) return;
  KillTimer(window_, kTimerId);
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void MessageTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Arm();
}

void MessageTimer::SetInterval(int32_t milliseconds) {
  interval_ = milliseconds;
  if (enabled_) Arm();
}

// An interval of 0 leaves the timer silent, as the runtime's timer does.
void MessageTimer::Arm() {
  if (window_ == nullptr) return;
  if (enabled_ && interval_ > 0) {
    SetTimer(window_, kTimerId, static_cast<UINT>(interval_), nullptr);
  } else {
    KillTimer(window_, kTimerId);
    // A WM_TIMER already queued is dropped: a disabled timer delivers no tick.
    MSG pending;
    while (PeekMessageW(&pending, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
  }
}

LRESULT CALLBACK MessageTimer::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && wparam == kTimerId) {
    auto* timer = reinterpret_cast<MessageTimer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (timer != nullptr && timer->enabled_) {
      // No C++ exception may unwind through the system's message dispatch: a tick that
      // fails is dropped (one that fails unexpectedly is recorded for a debugger), and the
      // next one tries again.
      Guarded(ErrorReport::kResultOnly, [timer] {
        // The tick handler may destroy the timer's owner; nothing here is touched after it.
        std::function<void()> tick = timer->on_tick_;
        tick();
      });
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace usborva::activex
