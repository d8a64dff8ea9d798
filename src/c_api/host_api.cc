// SPDX-License-Identifier: Apache-2.0
// Hosts: the container of a C program's controls, with its loop and, for rehearsals, a
// simulated terminal.
#include <memory>
#include <new>
#include <utility>

#include "c_api/handles.h"
#include "usborva/usborva_c.h"

namespace usborva::c_api {

void DestroyControl(usborva_control* control) noexcept;

namespace {

constexpr uint32_t kKnownFlags =
    USBORVA_HOST_DESIGN_MODE | USBORVA_HOST_VIRTUAL_TIME | USBORVA_HOST_PERSIST_CARD_DATA;

std::unique_ptr<usborva_host> MakeHost(uint32_t flags) {
  auto host = std::make_unique<usborva_host>();
  host->user_mode = (flags & USBORVA_HOST_DESIGN_MODE) == 0;
  host->persist_card_data = (flags & USBORVA_HOST_PERSIST_CARD_DATA) != 0;
  if ((flags & USBORVA_HOST_VIRTUAL_TIME) != 0) {
    host->virtual_clock = std::make_unique<ManualLoopClock>();
    host->loop = std::make_unique<EventLoop>(*host->virtual_clock);
  } else {
    host->loop = std::make_unique<EventLoop>();
  }
  return host;
}

// Installs the scenario's terminal on the host; its timeline ticks on the host's loop.
void UseScenario(usborva_host* host, scenario::Scenario parsed) {
  for (usborva_control* control : host->controls) {
    if (control->control->get_PortOpen()) throw InterfaceError(USBORVA_E_INVALID_STATE);
  }
  if (host->scenario) throw InterfaceError(USBORVA_E_INVALID_STATE);
  host->scenario = std::make_unique<scenario::ScenarioMachine>(
      std::move(parsed),
      [host](std::function<void()> tick) { return host->loop->CreateTimer(std::move(tick)); },
      scenario::ScenarioMachine::Installation::kByCaller);
  host->scenario->Start();
}

}  // namespace
}  // namespace usborva::c_api

using usborva::c_api::CallHost;
using usborva::c_api::InterfaceError;
using usborva::c_api::Require;

extern "C" {

int32_t usborva_host_create(uint32_t flags, usborva_host** out) {
  return usborva::c_api::CallFree([&] {
    Require(out);
    if ((flags & ~usborva::c_api::kKnownFlags) != 0) {
      throw InterfaceError(USBORVA_E_INVALID_ARGUMENT);
    }
    std::unique_ptr<usborva_host> host = usborva::c_api::MakeHost(flags);
    usborva::c_api::Register(host.get());
    *out = host.release();
  });
}

int32_t usborva_host_destroy(usborva_host* host) {
  bool destroyed = false;
  const int32_t status = CallHost(host, [&] {
    if (host->depth > 1) throw InterfaceError(USBORVA_E_BUSY);
    while (!host->controls.empty()) usborva::c_api::DestroyControl(host->controls.back());
    usborva::c_api::Unregister(host);
    destroyed = true;
  });
  if (destroyed) delete host;  // once the call's own bookkeeping on it has finished
  return status;
}

int32_t usborva_host_set_user_mode(usborva_host* host, int user_mode) {
  return CallHost(host, [&] {
    host->user_mode = user_mode != 0;
    for (usborva_control* control : host->controls) {
      control->site->host().set_user_mode(host->user_mode);
    }
  });
}

int32_t usborva_host_set_settings_root(usborva_host* host, const char* root) {
  return CallHost(host, [&] { host->settings_root = root != nullptr ? root : ""; });
}

int32_t usborva_host_set_message_handler(usborva_host* host, usborva_message_handler handler,
                                         void* user) {
  return CallHost(host, [&] {
    host->on_message = handler;
    host->message_user = user;
    for (usborva_control* control : host->controls) {
      control->site->set_message_handler(handler, user);
    }
  });
}

int32_t usborva_host_use_scenario_file(usborva_host* host, const char* path) {
  return CallHost(host, [&] {
    Require(path);
    usborva::c_api::UseScenario(host, usborva::scenario::LoadScenario(path));
  });
}

int32_t usborva_host_use_scenario_text(usborva_host* host, const char* text,
                                       const char* source_name) {
  return CallHost(host, [&] {
    Require(text);
    usborva::c_api::UseScenario(host,
                                usborva::scenario::ParseScenario(
                                    text, source_name != nullptr ? source_name : "<scenario>"));
  });
}

int32_t usborva_host_scenario_failures(usborva_host* host, char** out) {
  return CallHost(host, [&] {
    Require(out);
    std::string lines;
    if (host->scenario) {
      for (const auto& failure : host->scenario->player().failures()) {
        lines += failure.message + "\n";
      }
    }
    *out = usborva::c_api::TextOut(lines);
  });
}

int32_t usborva_host_scenario_finished(usborva_host* host, int* finished) {
  return CallHost(host, [&] {
    Require(finished);
    *finished = !host->scenario || host->scenario->Finished() ? 1 : 0;
  });
}

}  // extern "C"
