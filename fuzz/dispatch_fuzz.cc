// SPDX-License-Identifier: Apache-2.0
// Input reports straight from a hostile terminal: the dispatch must neither crash nor read
// outside the report, whatever its ID, item type, length byte or size, and the events it
// raises must carry what the report says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "usborva/usborva.h"

namespace {

class FuzzContainer : public usborva::Container, public usborva::EventSink {
 public:
  class IdleTimer : public usborva::Timer {
   public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int32_t ms) override { interval_ = ms; }
    int32_t Interval() const override { return interval_; }

   private:
    bool enabled_ = false;
    int32_t interval_ = 0;
  };
  bool UserMode() override { return true; }
  void PropertyChanged(std::u16string_view) override {}
  EventSink& Events() override { return *this; }
  std::unique_ptr<usborva::Timer> CreateTimer(std::function<void()>) override {
    return std::make_unique<IdleTimer>();
  }
  usborva::String GetSetting(const usborva::String&, const usborva::String&, const usborva::String&,
                             const usborva::String& d) override {
    return d;
  }
  void SaveSetting(const usborva::String&, const usborva::String&, const usborva::String&,
                   const usborva::String&) override {}
  void MessageBox(const usborva::String&) override {}
  void PINResponse(uint8_t&, usborva::String& KSN, usborva::String& EPB) override {
    if (KSN.size() != 20 || EPB.size() != 16) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzContainer container;
  usborva::USBORVA control(container);
  control.InitProperties();
  // Several reports in one input: the first byte of each chunk gives its length.
  std::span<const uint8_t> rest(data, size);
  while (!rest.empty()) {
    const size_t length = std::min<size_t>(rest[0], rest.size() - 1);
    control.DispatchInputReport(rest.subspan(1, length));
    rest = rest.subspan(1 + length);
  }
  if (control.get_EncTrack1Data().size() % 2 != 0) std::abort();  // whole hex pairs only
  return 0;
}
