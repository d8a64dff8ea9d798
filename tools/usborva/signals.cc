// SPDX-License-Identifier: Apache-2.0
#include "signals.h"

#include <unistd.h>

#include "platform/posix/raw_keyboard.h"

namespace usborva::cli {
namespace {

volatile std::sig_atomic_t g_received = 0;

extern "C" void OnSignal(int signal_number) {
  if (g_received == signal_number) {
    posix::RestoreKeyboardNow();  // no destructor runs on this way out
    _exit(128 + signal_number);
  }
  g_received = signal_number;
}

}  // namespace

SignalGuard::SignalGuard() {
  g_received = 0;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

SignalGuard::~SignalGuard() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

int SignalGuard::Received() { return g_received; }

}  // namespace usborva::cli
