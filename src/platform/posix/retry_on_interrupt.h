// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_RETRY_ON_INTERRUPT_H_
#define USBORVA_PLATFORM_POSIX_RETRY_ON_INTERRUPT_H_

#include <cerrno>

namespace usborva::posix {

// Calls call() again for as long as it fails with EINTR, and returns its first other
// result (errno still set by that call when it is a failure). A signal delivered to a
// host that installs handlers without SA_RESTART interrupts open, read, write, ioctl and
// flock at any time; that is no failure of the operation, so every POSIX call of the
// product that can see it goes through here. The call must be safe to repeat after an
// interrupted attempt, which the system guarantees for these calls: an interrupted one has
// transferred nothing.
template <typename Call>
auto RetryOnInterrupt(const Call& call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_RETRY_ON_INTERRUPT_H_
