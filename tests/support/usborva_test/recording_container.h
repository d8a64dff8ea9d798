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

namespace usborva::test {

class RecordingContainer;

// A timer that ticks only when the test says so.
class ManualTimer : public Timer {
 public:
  ManualTimer(RecordingContainer* owner, std::function<void()> on_tick)
      : owner_(owner), on_tick_(std::move(on_tick)) {}
  ~ManualTimer() override;
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override { interval_ = milliseconds; }
  int32_t Interval() const override { return interval_; }
  // Delivers one tick if the timer is enabled; true when it did.
  bool Tick();

 private:
  RecordingContainer* owner_;
  std::function<void()> on_tick_;
  bool enabled_ = false;
  int32_t interval_ = 0;
};

// An event as the host received it, rendered as "Name(arg, arg)" for easy comparison.
struct RecordedEvent {
  std::string text;
};

// A container that records what the control asks of it: notifications, events, message
// boxes, settings; with switches to make UserMode or PropertyChanged fail.
class RecordingContainer : public Container, public EventSink {
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

  // EventSink
  void CardDataChanged() override;
  void CardDataError() override;
  void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                           uint8_t& DeviceStatus) override;
  void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) override;
  void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) override;
  void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) override;
  void DisplayDone(uint8_t& DisplayStatus) override;

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
  void Record(std::string text);
  std::vector<ManualTimer*> timers_;
};

std::string Utf8(const String& text);

}  // namespace usborva::test

#endif  // USBORVA_TEST_RECORDING_CONTAINER_H_
