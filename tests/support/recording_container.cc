// SPDX-License-Identifier: Apache-2.0
#include "usborva_test/recording_container.h"

#include <algorithm>
#include <string>

#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva::test {

namespace {

// A manual timer that leaves its container's list when the control destroys it.
class OwnedTimer final : public ManualTimer {
 public:
  OwnedTimer(RecordingContainer* owner, std::function<void()> on_tick)
      : ManualTimer(std::move(on_tick)), owner_(owner) {}
  ~OwnedTimer() override { owner_->Forget(this); }

 private:
  RecordingContainer* owner_;
};

}  // namespace

bool RecordingContainer::UserMode() {
  if (fail_user_mode) throw AutomationError(error::kInvalidProcedureCall);
  return user_mode;
}

void RecordingContainer::PropertyChanged(std::u16string_view name) {
  notifications.push_back(Utf8(String(name)));
  if (fail_property_changed) throw AutomationError(error::kInvalidProcedureCall);
}

void RecordingContainer::ConnectionChanged(const ConnectionNotice& notice) {
  std::string text(ConnectionChangeName(notice.change));
  switch (notice.change) {
    case ConnectionChange::kOpenFailed:
      text += "(" + std::string(OpenFailureName(notice.reason)) + ")";
      break;
    case ConnectionChange::kLost:
      text += "(" + std::to_string(notice.error) + ")";
      break;
    case ConnectionChange::kReconnected:
      text += "(" + std::to_string(notice.product_id) + ")";
      break;
    case ConnectionChange::kIdle:
      text += "(" + std::string(notice.status) + ")";
      break;
  }
  connection.push_back(text);
  connection_paths.emplace_back(notice.path);
}

std::unique_ptr<Timer> RecordingContainer::CreateTimer(std::function<void()> on_tick) {
  auto timer = std::make_unique<OwnedTimer>(this, std::move(on_tick));
  timers_.push_back(timer.get());
  return timer;
}

String RecordingContainer::GetSetting(const String& application, const String& section,
                                      const String& key, const String& default_value) {
  if (fail_settings) throw AutomationError(error::kPathFileAccessError);
  auto it = settings.find({application, section, key});
  return it == settings.end() ? default_value : it->second;
}

void RecordingContainer::SaveSetting(const String& application, const String& section,
                                     const String& key, const String& value) {
  if (fail_settings) throw AutomationError(error::kPathFileAccessError);
  settings[{application, section, key}] = value;
}

int RecordingContainer::Tick() {
  int ticked = 0;
  // A handler may create controls (and so timers) while we iterate: copy first.
  const std::vector<ManualTimer*> timers = timers_;
  for (ManualTimer* timer : timers) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    ticked += timer->Tick() ? 1 : 0;
  }
  return ticked;
}

size_t RecordingContainer::Count(const std::string& notification) const {
  return std::count(notifications.begin(), notifications.end(), notification);
}

void RecordingContainer::Forward(const RaisedEvent& event) {
  std::string text(EventName(event.id));
  text += '(';
  for (size_t i = 0; i < event.byte_count; ++i) {
    if (i > 0) text += ',';
    text += std::to_string(event.bytes[i]);
  }
  for (const String* arg : {event.KSN, event.EPB}) {
    if (arg != nullptr) text += ',' + Utf8(*arg);
  }
  text += ')';
  events.push_back(text);
  if (on_event) on_event(text);
}

void RecordingContainer::Forget(ManualTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

std::string Utf8(const String& text) { return StringToUtf8(text); }

}  // namespace usborva::test
