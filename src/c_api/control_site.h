// SPDX-License-Identifier: Apache-2.0
// The container one control of a C host sits in: the standalone Host for timers, settings
// and change tracking, with events, change notices and message boxes handed to the C
// program's callbacks.
#ifndef USBORVA_C_API_CONTROL_SITE_H_
#define USBORVA_C_API_CONTROL_SITE_H_

#include <memory>
#include <string>

#include "usborva/container.h"
#include "usborva/event_loop.h"
#include "usborva/events.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/host.h"
#include "usborva/usborva_c.h"

namespace usborva::c_api {

// Passes the control's events to a C handler, with the texts as UTF-8 that is overwritten
// once the handler returns.
class EventRelay final : public ForwardingEventSink {
 public:
  explicit EventRelay(usborva_control* control) : control_(control) {}
  void set_handler(usborva_event_handler handler, void* user) {
    handler_ = handler;
    user_ = user;
  }

 private:
  void Forward(const RaisedEvent& event) override;

  usborva_control* control_;
  usborva_event_handler handler_ = nullptr;
  void* user_ = nullptr;
};

// What the host supplies to every site it makes.
struct SiteOptions {
  bool user_mode = true;
  bool persist_card_data = false;
  std::string settings_root;
  usborva_message_handler on_message = nullptr;
  void* message_user = nullptr;
};

class ControlSite final : public Container {
 public:
  ControlSite(EventLoop& loop, usborva_control* control, const SiteOptions& options);

  bool UserMode() override { return host_.UserMode(); }
  bool PersistCardData() override { return host_.PersistCardData(); }
  void PropertyChanged(std::u16string_view name) override;
  EventSink& Events() override { return host_.Events(); }
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override {
    return host_.CreateTimer(std::move(on_tick));
  }
  String GetSetting(const String& application, const String& section, const String& key,
                    const String& default_value) override {
    return host_.GetSetting(application, section, key, default_value);
  }
  void SaveSetting(const String& application, const String& section, const String& key,
                   const String& value) override {
    host_.SaveSetting(application, section, key, value);
  }
  void MessageBox(const String& text) override;
  void ConnectionChanged(const ConnectionNotice& notice) override;

  Host& host() { return host_; }
  EventRelay& events() { return relay_; }
  void set_message_handler(usborva_message_handler handler, void* user) {
    on_message_ = handler;
    message_user_ = user;
  }
  void set_property_changed_handler(usborva_property_changed_handler handler, void* user) {
    on_change_ = handler;
    change_user_ = user;
  }
  void set_connection_handler(usborva_connection_handler handler, void* user) {
    on_connection_ = handler;
    connection_user_ = user;
  }

 private:
  usborva_control* control_;
  EventRelay relay_;
  Host host_;
  usborva_message_handler on_message_;
  void* message_user_;
  usborva_property_changed_handler on_change_ = nullptr;
  void* change_user_ = nullptr;
  usborva_connection_handler on_connection_ = nullptr;
  void* connection_user_ = nullptr;
};

}  // namespace usborva::c_api

#endif  // USBORVA_C_API_CONTROL_SITE_H_
