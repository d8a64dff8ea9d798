// SPDX-License-Identifier: Apache-2.0
#include "usborva/host.h"

#include <iostream>
#include <utility>

#include "host/event_forwarder.h"

namespace usborva {
namespace {

SettingsStore MakeSettingsStore(const std::string& root) {
  return root.empty() ? SettingsStore() : SettingsStore(root);
}

}  // namespace

Host::Host(EventLoop& loop, HostOptions options)
    : loop_(loop),
      user_mode_(options.user_mode),
      persist_card_data_(options.persist_card_data),
      events_(std::make_unique<host::EventForwarder>()),
      settings_(MakeSettingsStore(options.settings_root)),
      message_box_(options.message_out != nullptr ? *options.message_out : std::cout,
                   options.interactive) {
  events_->set_target(options.events);
}

Host::~Host() = default;

void Host::PropertyChanged(std::u16string_view name) {
  dirty_ = true;
  ++change_count_;
  changed_.emplace(name);
  if (observer_) observer_(name);
}

EventSink& Host::Events() { return *events_; }

void Host::set_event_sink(EventSink* sink) { events_->set_target(sink); }

std::unique_ptr<Timer> Host::CreateTimer(std::function<void()> on_tick) {
  return loop_.CreateTimer(std::move(on_tick));
}

String Host::GetSetting(const String& application, const String& section, const String& key,
                        const String& default_value) {
  return settings_.GetSetting(application, section, key, default_value);
}

void Host::SaveSetting(const String& application, const String& section, const String& key,
                       const String& value) {
  settings_.SaveSetting(application, section, key, value);
}

void Host::MessageBox(const String& text) { message_box_.Show(text); }

void Host::MarkClean() {
  dirty_ = false;
  changed_.clear();
}

}  // namespace usborva
