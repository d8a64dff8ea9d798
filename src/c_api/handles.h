// SPDX-License-Identifier: Apache-2.0
// What stands behind the C interface's opaque handles, and the one wrapper every entry
// point goes through so that no exception crosses into C.
#ifndef USBORVA_C_API_HANDLES_H_
#define USBORVA_C_API_HANDLES_H_

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "c_api/control_site.h"
#include "usborva/event_loop.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario_machine.h"
#include "usborva/usborva.h"
#include "usborva/usborva_c.h"
#include "usborva/variant.h"

struct usborva_host {
  std::thread::id thread = std::this_thread::get_id();
  std::unique_ptr<usborva::ManualLoopClock> virtual_clock;  // only with virtual time
  std::unique_ptr<usborva::EventLoop> loop;
  bool user_mode = true;
  bool persist_card_data = false;
  std::string settings_root;
  usborva_message_handler on_message = nullptr;
  void* message_user = nullptr;
  // The simulated terminal, when a scenario was chosen; its timeline runs on the loop. It
  // is the thread's HID system only during the host's own calls, so hosts that share a
  // thread each keep their own terminals.
  std::unique_ptr<usborva::scenario::ScenarioMachine> scenario;
  std::vector<usborva_control*> controls;
  // Calls of this host in progress: callbacks run inside them, where nothing may be
  // destroyed under the caller.
  int depth = 0;
  std::string last_error;
};

struct usborva_control {
  usborva_host* host = nullptr;
  std::unique_ptr<usborva::c_api::ControlSite> site;
  std::unique_ptr<usborva::USBORVA> control;
};

struct usborva_value {
  usborva::Variant variant;
};

namespace usborva::c_api {

// A failure of the interface itself, carrying one of the negative USBORVA_E_* codes.
class InterfaceError : public std::exception {
 public:
  explicit InterfaceError(int32_t code) : code_(code) {}
  int32_t code() const noexcept { return code_; }
  const char* what() const noexcept override;

 private:
  int32_t code_;
};

// The registry of live handles: a handle is usable only while registered, so a stale or
// foreign pointer is refused before anything reads through it.
void Register(const void* handle);
void Unregister(const void* handle);
bool IsLive(const void* handle) noexcept;

// The status for the exception in flight (call from a catch block), recording its
// description as the host's last error when there is a host.
int32_t StatusOfCurrentException(usborva_host* host) noexcept;

// Runs body for host (the host's thread, its simulated terminal installed, its call depth
// counted) and turns every exception into a status. host must be live already.
template <typename Body>
int32_t CallOnHost(usborva_host* host, Body&& body) noexcept {
  try {
    if (host->thread != std::this_thread::get_id()) {
      throw InterfaceError(USBORVA_E_WRONG_THREAD);
    }
    struct Depth {
      usborva_host* host;
      ~Depth() { --host->depth; }
    } depth{host};
    ++host->depth;
    std::optional<ScopedHidSystem> terminal;
    if (host->scenario) terminal.emplace(host->scenario->system());
    body();
    return USBORVA_OK;
  } catch (...) {
    return StatusOfCurrentException(host);
  }
}

// The same for a host handle from the caller, checked first.
template <typename Body>
int32_t CallHost(usborva_host* host, Body&& body) noexcept {
  if (!IsLive(host)) return USBORVA_E_BAD_HANDLE;
  return CallOnHost(host, body);
}

// The same for a control handle from the caller.
template <typename Body>
int32_t CallControl(usborva_control* control, Body&& body) noexcept {
  if (!IsLive(control)) return USBORVA_E_BAD_HANDLE;
  return CallOnHost(control->host, [&] { body(*control->control); });
}

// The same for work that needs no host (values, lookups).
template <typename Body>
int32_t CallFree(Body&& body) noexcept {
  try {
    body();
    return USBORVA_OK;
  } catch (...) {
    return StatusOfCurrentException(nullptr);
  }
}

// Throws USBORVA_E_NULL_POINTER when pointer is null.
inline void Require(const void* pointer) {
  if (pointer == nullptr) throw InterfaceError(USBORVA_E_NULL_POINTER);
}

// The value behind a handle from the caller; throws USBORVA_E_BAD_HANDLE.
const Variant& ValueOf(const usborva_value* value);
Variant& ValueOf(usborva_value* value);

// Memory handed to the caller (size usable bytes), and its release (usborva_free).
void* AllocateOut(size_t size);
void FreeOut(void* memory) noexcept;

// UTF-8 from the caller (not null) as the control's text.
String TextIn(const char* utf8);
// A copy for the caller, freed by usborva_free; the intermediate copies are overwritten.
char* TextOut(const String& text);
char* TextOut(std::string_view utf8);
// Writes a copy of text to *out when out is not null.
void MaybeTextOut(const String& text, char** out);
// Text that may be card data, overwritten when it goes out of scope.
struct WipedString {
  String text;
  ~WipedString();
};

// Overwrites memory that held card data before it is let go.
void Wipe(void* memory, size_t size) noexcept;
void Wipe(std::string& text) noexcept;
void Wipe(String& text) noexcept;

}  // namespace usborva::c_api

#endif  // USBORVA_C_API_HANDLES_H_
