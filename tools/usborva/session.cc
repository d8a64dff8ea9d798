// SPDX-License-Identifier: Apache-2.0
#include "session.h"

#include <sstream>

namespace usborva::cli {

Session::Session(SessionOptions options) {
  if (options.scenario && options.virtual_time) {
    manual_clock_ = std::make_unique<ManualLoopClock>();
    loop_ = std::make_unique<EventLoop>(*manual_clock_);
  } else {
    loop_ = std::make_unique<EventLoop>();
  }
  if (options.scenario) {
    machine_ = std::make_unique<scenario::ScenarioMachine>(
        std::move(*options.scenario),
        [this](std::function<void()> tick) { return loop_->CreateTimer(std::move(tick)); });
  }
  HidSystem& stack = machine_ ? static_cast<HidSystem&>(machine_->system()) : ThreadHidSystem();
  if (options.interpose) interposed_ = options.interpose(stack);
  tap_ = std::make_unique<HidTap>(interposed_ ? *interposed_ : stack);
  installed_ = std::make_unique<ScopedHidSystem>(*tap_);
  HostOptions host_options;
  host_options.events = options.events;
  host_ = std::make_unique<Host>(*loop_, host_options);
  control_ = std::make_unique<USBORVA>(*host_);
  control_->set_terminal_choice(std::move(options.choice));
  control_->InitProperties();
  start_ = loop_->clock().Now();
}

Session::~Session() {
  try {
    Close();
  } catch (...) {
  }
}

bool Session::Open() {
  control_->put_PortOpen(true);
  start_ = loop_->clock().Now();
  return control_->get_PortOpen();
}

void Session::StartScenario() {
  if (machine_) machine_->Start();
}

std::chrono::milliseconds Session::Elapsed() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(loop_->clock().Now() - start_);
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  if (machine_) machine_->Stop();
  control_->put_PortOpen(false);
  control_->Terminate();
}

}  // namespace usborva::cli
