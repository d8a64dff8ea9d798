// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_NULL_CONTAINER_H_
#define USBORVA_TEST_NULL_CONTAINER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "usborva/container.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva_test/manual_timer.h"

namespace usborva::test {

// The cheapest container that works: a running host whose settings answer the default and
// keep nothing, whose change notices and message boxes go nowhere, and whose last timer
// made (a control makes one) waits for the caller to tick it. Header-only, for benchmarks
// and fuzz targets as much as for tests.
class NullContainer : public Container {
 public:
  // events: where the control's events go, kept by the caller; null: they are only
  // counted (events()).
  explicit NullContainer(EventSink* events = nullptr)
      : events_(events != nullptr ? events : &counter_) {}

  bool UserMode() override { return true; }
  void PropertyChanged(std::u16string_view) override {}
  EventSink& Events() override { return *events_; }
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override {
    auto timer = std::make_unique<ManualTimer>(std::move(on_tick));
    timer_ = timer.get();
    return timer;
  }
  String GetSetting(const String&, const String&, const String&,
                    const String& default_value) override {
    return default_value;
  }
  void SaveSetting(const String&, const String&, const String&, const String&) override {}
  void MessageBox(const String&) override {}

  // The timer made last; valid while the control that made it lives.
  ManualTimer& timer() { return *timer_; }
  // How many events were counted, when no sink was given.
  uint64_t events() const { return counter_.count; }

 private:
  struct Counter final : ForwardingEventSink {
    void Forward(const RaisedEvent&) override { ++count; }
    uint64_t count = 0;
  };

  Counter counter_;
  EventSink* events_;
  ManualTimer* timer_ = nullptr;
};

}  // namespace usborva::test

#endif  // USBORVA_TEST_NULL_CONTAINER_H_
