// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SIGNALS_H_
#define USBORVA_TOOLS_SIGNALS_H_

#include <csignal>

namespace usborva::cli {

// While alive, SIGINT and SIGTERM only set a flag, so the loop can notice between ticks
// and close the port cleanly instead of leaving the terminal open mid-read. A second
// signal of the same kind ends the program at once, for a loop that no longer notices.
class SignalGuard {
 public:
  SignalGuard();
  ~SignalGuard();
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;

  // The signal received, 0 while none.
  static int Received();

 private:
  struct sigaction old_int_;
  struct sigaction old_term_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SIGNALS_H_
