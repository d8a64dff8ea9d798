// SPDX-License-Identifier: Apache-2.0
// Controls: creation on a host, the container's calls (InitProperties, loading and saving
// a property bag, Terminate) and the program's handlers.
#include <algorithm>
#include <memory>
#include <utility>

#include "c_api/handles.h"
#include "usborva/automation_error.h"
#include "usborva/property_bag_file.h"
#include "usborva/usborva_c.h"

namespace usborva::c_api {

// Terminate, then destroy, as a container ends a control; the caller is inside a call on
// the control's host.
void DestroyControl(usborva_control* control) noexcept {
  usborva_host* host = control->host;
  Unregister(control);
  std::erase(host->controls, control);
  try {
    control->control->Terminate();
  } catch (...) {
    // Terminate only stops the timer and closes the terminal; nothing is left to undo.
  }
  delete control;
}

namespace {

// An existing bag is saved over in place, keeping its order and any line a person may
// still mend; a missing one is started afresh.
PropertyBagFile BagToSave(const char* path) {
  try {
    return PropertyBagFile::Load(path);
  } catch (const AutomationError& e) {
    if (e.number() != error::kFileNotFound) throw;
  }
  return PropertyBagFile(path);
}

}  // namespace
}  // namespace usborva::c_api

using usborva::c_api::CallControl;
using usborva::c_api::CallHost;
using usborva::c_api::InterfaceError;
using usborva::c_api::Require;

extern "C" {

int32_t usborva_control_create(usborva_host* host, usborva_control** out) {
  return CallHost(host, [&] {
    Require(out);
    auto control = std::make_unique<usborva_control>();
    control->host = host;
    usborva::c_api::SiteOptions options;
    options.user_mode = host->user_mode;
    options.persist_card_data = host->persist_card_data;
    options.settings_root = host->settings_root;
    options.on_message = host->on_message;
    options.message_user = host->message_user;
    control->site =
        std::make_unique<usborva::c_api::ControlSite>(*host->loop, control.get(), options);
    control->control = std::make_unique<usborva::USBORVA>(*control->site);
    host->controls.push_back(control.get());
    usborva::c_api::Register(control.get());
    *out = control.release();
  });
}

int32_t usborva_control_destroy(usborva_control* control) {
  if (!usborva::c_api::IsLive(control)) return USBORVA_E_BAD_HANDLE;
  usborva_host* host = control->host;
  return CallHost(host, [&] {
    if (host->depth > 1) throw InterfaceError(USBORVA_E_BUSY);
    usborva::c_api::DestroyControl(control);
  });
}

int32_t usborva_control_set_event_handler(usborva_control* control, usborva_event_handler handler,
                                          void* user) {
  return CallControl(
      control, [&](usborva::USBORVA&) { control->site->events().set_handler(handler, user); });
}

int32_t usborva_control_set_property_changed_handler(usborva_control* control,
                                                     usborva_property_changed_handler handler,
                                                     void* user) {
  return CallControl(control, [&](usborva::USBORVA&) {
    control->site->set_property_changed_handler(handler, user);
  });
}

int32_t usborva_control_set_connection_handler(usborva_control* control,
                                               usborva_connection_handler handler, void* user) {
  return CallControl(
      control, [&](usborva::USBORVA&) { control->site->set_connection_handler(handler, user); });
}

int32_t usborva_control_init_properties(usborva_control* control) {
  return CallControl(control, [&](usborva::USBORVA& c) { c.InitProperties(); });
}

int32_t usborva_control_load_bag(usborva_control* control, const char* path) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    Require(path);
    usborva::PropertyBagFile bag = usborva::PropertyBagFile::Load(path);
    c.ReadProperties(bag);
  });
}

int32_t usborva_control_save_bag(usborva_control* control, const char* path) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    Require(path);
    usborva::PropertyBagFile bag = usborva::c_api::BagToSave(path);
    c.WriteProperties(bag);
    bag.Save();
  });
}

int32_t usborva_control_dirty(usborva_control* control, int* dirty) {
  return CallControl(control, [&](usborva::USBORVA&) {
    Require(dirty);
    *dirty = control->site->host().dirty() ? 1 : 0;
  });
}

int32_t usborva_control_mark_clean(usborva_control* control) {
  return CallControl(control, [&](usborva::USBORVA&) { control->site->host().MarkClean(); });
}

int32_t usborva_control_set_terminal_choice(usborva_control* control, const char* device_path,
                                            const char* serial_number) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    usborva::TerminalChoice choice;
    if (device_path != nullptr) choice.device_path = device_path;
    if (serial_number != nullptr) choice.serial_number = usborva::Utf8ToString(serial_number);
    c.set_terminal_choice(std::move(choice));
  });
}

}  // extern "C"
