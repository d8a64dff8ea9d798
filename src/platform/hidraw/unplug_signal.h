// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_UNPLUG_SIGNAL_H_
#define USBORVA_PLATFORM_HIDRAW_UNPLUG_SIGNAL_H_

#include <optional>
#include <string_view>

namespace usborva::hidraw {

// How an open hidraw node tells a non-blocking reader that its device is gone.
enum class UnplugSignal {
  kRead,  // read() of the empty queue answers EIO: one read() is a whole step
  kPoll,  // read() answers EAGAIN for ever; only poll()'s error bits tell
};

// The signal of a kernel by its release string ("6.1.0-13-amd64"); kPoll when the string
// cannot be read, since the poll() step is correct on every kernel.
UnplugSignal UnplugSignalOfRelease(std::string_view release);

// This kernel's signal (uname(), read once), unless overridden.
UnplugSignal SystemUnplugSignal();

// Makes devices opened from now on use signal, whatever the kernel; nullopt returns to the
// kernel's own. For tests that exercise both read steps on one machine.
void OverrideUnplugSignal(std::optional<UnplugSignal> signal);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_UNPLUG_SIGNAL_H_
