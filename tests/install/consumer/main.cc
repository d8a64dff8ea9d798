// SPDX-License-Identifier: Apache-2.0
// A program built against the installed library: a host with a minimal container opens the
// port on a machine without a terminal (an empty device tree) and closes it again.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "usborva/hidraw_hid_system.h"
#include "usborva/usborva.h"

namespace {

class NoTimer : public usborva::Timer {
 public:
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override { interval_ = milliseconds; }
  int32_t Interval() const override { return interval_; }

 private:
  bool enabled_ = false;
  int32_t interval_ = 0;
};

class MinimalContainer : public usborva::Container {
 public:
  bool UserMode() override { return true; }
  void PropertyChanged(std::u16string_view) override { ++notifications; }
  usborva::EventSink& Events() override { return sink_; }
  std::unique_ptr<usborva::Timer> CreateTimer(std::function<void()>) override {
    return std::make_unique<NoTimer>();
  }
  usborva::String GetSetting(const usborva::String&, const usborva::String&, const usborva::String&,
                             const usborva::String& fallback) override {
    return fallback;
  }
  void SaveSetting(const usborva::String&, const usborva::String&, const usborva::String&,
                   const usborva::String&) override {}
  void MessageBox(const usborva::String&) override {}
  int notifications = 0;

 private:
  usborva::EventSink sink_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::filesystem::create_directories(std::string(argv[1]) + "/sys");
  usborva::HidrawHidSystem hid(
      usborva::HidrawRoots{std::string(argv[1]) + "/sys", std::string(argv[1]) + "/dev"});
  usborva::InstallThreadHidSystem(&hid);
  MinimalContainer container;
  {
    usborva::USBORVA control(container);
    control.InitProperties();
    control.put_PortOpen(true);
    if (control.get_PortOpen()) {
      std::fprintf(stderr, "a port opened with no terminal attached\n");
      return 1;
    }
    control.put_PortOpen(false);
    control.Terminate();
  }
  usborva::InstallThreadHidSystem(nullptr);
  if (container.notifications != 2) {
    std::fprintf(stderr, "expected two PortOpen notifications, got %d\n", container.notifications);
    return 1;
  }
  std::puts("consumer: ok");
  return 0;
}
