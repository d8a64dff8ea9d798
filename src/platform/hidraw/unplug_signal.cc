// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/unplug_signal.h"

#include <sys/utsname.h>

#include <atomic>

namespace usborva::hidraw {
namespace {

// drivers/hid/hidraw.c, hidraw_read(), with the queue empty: up to 3.6 it tests O_NONBLOCK
// before the device's `exist` flag, so a non-blocking read of an unplugged node answers
// EAGAIN for ever and only poll() (POLLERR | POLLHUP) reveals the unplug; the 3.10 and 4.4
// trees we read (and every later one) test `exist` first and answer EIO. The change lies
// between 3.6 and 3.10; we trust read() alone from 4.4, the release we checked, and keep
// the poll() before each read on anything older.
constexpr int kReadReportsUnplugMajor = 4;
constexpr int kReadReportsUnplugMinor = 4;

// Reads a decimal number at the front of text (at most 5 digits); false when there is none.
bool TakeNumber(std::string_view* text, int* value) {
  size_t digits = 0;
  int number = 0;
  while (digits < text->size() && digits < 5 && (*text)[digits] >= '0' && (*text)[digits] <= '9') {
    number = number * 10 + ((*text)[digits] - '0');
    ++digits;
  }
  if (digits == 0) return false;
  text->remove_prefix(digits);
  *value = number;
  return true;
}

UnplugSignal KernelUnplugSignal() {
  utsname name{};
  if (uname(&name) != 0) return UnplugSignal::kPoll;
  return UnplugSignalOfRelease(name.release);
}

// -1: none; otherwise the UnplugSignal forced.
std::atomic<int> g_override{-1};

}  // namespace

UnplugSignal UnplugSignalOfRelease(std::string_view release) {
  int major = 0;
  int minor = 0;
  if (!TakeNumber(&release, &major) || release.empty() || release.front() != '.') {
    return UnplugSignal::kPoll;
  }
  release.remove_prefix(1);
  if (!TakeNumber(&release, &minor)) return UnplugSignal::kPoll;
  const bool recent = major > kReadReportsUnplugMajor ||
                      (major == kReadReportsUnplugMajor && minor >= kReadReportsUnplugMinor);
  return recent ? UnplugSignal::kRead : UnplugSignal::kPoll;
}

UnplugSignal SystemUnplugSignal() {
  const int forced = g_override.load(std::memory_order_relaxed);
  if (forced >= 0) return static_cast<UnplugSignal>(forced);
  static const UnplugSignal kernel = KernelUnplugSignal();
  return kernel;
}

void OverrideUnplugSignal(std::optional<UnplugSignal> signal) {
  g_override.store(signal ? static_cast<int>(*signal) : -1, std::memory_order_relaxed);
}

}  // namespace usborva::hidraw
