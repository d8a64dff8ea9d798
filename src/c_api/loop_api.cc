// SPDX-License-Identifier: Apache-2.0
// Running a host's loop: for a time, until a condition, or a step at a time from a loop
// of the program's own.
#include <chrono>
#include <cstdint>
#include <optional>

#include "c_api/handles.h"
#include "usborva/usborva_c.h"

using usborva::c_api::CallHost;
using usborva::c_api::InterfaceError;
using usborva::c_api::Require;

namespace {

std::chrono::milliseconds Milliseconds(int64_t ms) {
  if (ms < 0) throw InterfaceError(USBORVA_E_INVALID_ARGUMENT);
  return std::chrono::milliseconds(ms);
}

}  // namespace

extern "C" {

int32_t usborva_host_run_for(usborva_host* host, int64_t ms) {
  return CallHost(host, [&] { host->loop->RunFor(Milliseconds(ms)); });
}

int32_t usborva_host_run_until(usborva_host* host, usborva_condition done, void* user,
                               int64_t timeout_ms, int* met) {
  return CallHost(host, [&] {
    if (done == nullptr) throw InterfaceError(USBORVA_E_NULL_POINTER);
    const bool held =
        host->loop->RunUntil([done, user] { return done(user) != 0; }, Milliseconds(timeout_ms));
    if (met != nullptr) *met = held ? 1 : 0;
  });
}

// May come from any thread, so it neither checks the thread nor counts a call.
int32_t usborva_host_stop(usborva_host* host) {
  if (!usborva::c_api::IsLive(host)) return USBORVA_E_BAD_HANDLE;
  host->loop->Stop();
  return USBORVA_OK;
}

int32_t usborva_host_next_timeout_ms(usborva_host* host, int64_t* ms) {
  return CallHost(host, [&] {
    Require(ms);
    const std::optional<usborva::EventLoop::Duration> wait = host->loop->TimeUntilNextTick();
    if (!wait) {
      *ms = -1;
      return;
    }
    // Rounded up, so a program that sleeps this long finds the tick due.
    *ms = std::chrono::ceil<std::chrono::milliseconds>(*wait).count();
  });
}

int32_t usborva_host_dispatch(usborva_host* host) {
  return CallHost(host, [&] { host->loop->RunDue(); });
}

}  // extern "C"
