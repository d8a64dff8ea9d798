// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_RECORDING_CONTAINER_H_
#define USBORVA_TEST_RECORDING_CONTAINER_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "usborva/container.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva_test/manual_timer.h"

namespace usborva::test {

// An event as the host received it, rendered as "Name(arg, arg)" for easy comparison.
struct RecordedEvent {
  std::string text;
};

// A container that records what the control asks of it: notifications, events, message
// boxes, settings; with switches to make UserMode or PropertyChanged fail.
class RecordingContainer : public Container, public ForwardingEventSink {
 public:
  bool UserMode() override;
  void PropertyChanged(std::u16string_view name) override;
  EventSink& Events() override { return *this; }
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override;
  String GetSetting(const String& application, const String& section, const String& key,
                    const String& default_value) override;
  void SaveSetting(const String& application, const String& section, const String& key,
                   const String& value) override;
  void MessageBox(const String& text) override { message_boxes.push_back(text); }
  bool PersistCardData() override { return persist_card_data; }
  // Records each connection notification as "change(detail)": the reason of an open that
  // failed, the error of a loss, the product ID (decimal) of a return, the status of idle.
  void ConnectionChanged(const ConnectionNotice& notice) override;

  // Ticks every timer of this container once (the one timer of one control, usually).
  // Returns how many ticked.
  int Tick();
  ManualTimer& timer(size_t i = 0) { return *timers_.at(i); }

  // Names notified, in order, as UTF-8.
  std::vector<std::string> notifications;
  std::vector<std::string> events;
  std::vector<String> message_boxes;
  std::map<std::tuple<String, String, String>, String> settings;
  std::vector<std::string> connection;
  std::vector<std::string> connection_paths;  // each notice's device path

  bool user_mode = true;
  bool fail_user_mode = false;
  bool fail_property_changed = false;
  bool fail_settings = false;
  // The user's explicit request to keep clear card data in saved bags.
  bool persist_card_data = false;
  // Runs after each event is recorded: lets a test act as the host's handler.
  std::function<void(const std::string& event)> on_event;

  size_t Count(const std::string& notification) const;
  void Forget(ManualTimer* timer);

 private:
  // Records the event as "Name(arg,arg)": byte arguments in decimal, texts as UTF-8.
  void Forward(const RaisedEvent& event) override;
  std::vector<ManualTimer*> timers_;
};

std::string Utf8(const String& text);

}  // namespace usborva::test

#endif  // USBORVA_TEST_RECORDING_CONTAINER_H_
