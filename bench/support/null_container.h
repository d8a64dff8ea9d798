// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_NULL_CONTAINER_H_
#define USBORVA_BENCH_NULL_CONTAINER_H_

#include "usborva/container.h"

namespace usborva::bench {

// The cheapest container that works: events are only counted, the timer only remembers.
class NullContainer : public Container, public EventSink {
 public:
  class NullTimer : public Timer {
   public:
    explicit NullTimer(std::function<void()> tick) : tick_(std::move(tick)) {}
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int32_t ms) override { interval_ = ms; }
    int32_t Interval() const override { return interval_; }
    void Tick() {
      if (enabled_) tick_();
    }

   private:
    std::function<void()> tick_;
    bool enabled_ = false;
    int32_t interval_ = 0;
  };

  bool UserMode() override { return true; }
  void PropertyChanged(std::u16string_view) override {}
  EventSink& Events() override { return *this; }
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override {
    auto timer = std::make_unique<NullTimer>(std::move(on_tick));
    timer_ = timer.get();
    return timer;
  }
  String GetSetting(const String&, const String&, const String&, const String& d) override {
    return d;
  }
  void SaveSetting(const String&, const String&, const String&, const String&) override {}
  void MessageBox(const String&) override {}
  // Every event counts, so a benchmark can tell that its report was acted on.
  void CardDataChanged() override { ++events; }
  void CardDataError() override { ++events; }
  void DeviceStatusChanged(uint8_t&, uint8_t&, uint8_t&) override { ++events; }
  void CardStatusChanged(uint8_t&, uint8_t&, uint8_t&) override { ++events; }
  void PINResponse(uint8_t&, String&, String&) override { ++events; }
  void SelectResponse(uint8_t&, uint8_t&) override { ++events; }
  void DisplayDone(uint8_t&) override { ++events; }

  NullTimer& timer() { return *timer_; }
  uint64_t events = 0;

 private:
  NullTimer* timer_ = nullptr;
};

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_NULL_CONTAINER_H_
