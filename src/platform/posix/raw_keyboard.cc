// SPDX-License-Identifier: Apache-2.0
#include "platform/posix/raw_keyboard.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <stdexcept>

#include "platform/posix/retry_on_interrupt.h"

namespace usborva::posix {
namespace {

// What the signal handlers need: plain data, written before the handlers are installed.
struct Saved {
  termios original{};
  int fd = -1;
};
Saved g_saved;
volatile std::sig_atomic_t g_live = 0;  // a RawKeyboard exists
volatile std::sig_atomic_t g_raw = 0;   // and the terminal is in raw mode

// Signals whose default action ends the process while the keyboard is raw. A hang-up, a
// quit sent from outside, an abort from a failed check and a write to a closed pipe
// (`usborva simulate | head`) would otherwise leave the shell a terminal without echo.
constexpr int kEndingSignals[] = {SIGHUP, SIGQUIT, SIGABRT, SIGPIPE};
struct sigaction g_previous[std::size(kEndingSignals)];
bool g_installed[std::size(kEndingSignals)] = {};

extern "C" void OnEndingSignal(int signal_number) {
  RestoreKeyboardNow();
  // SA_RESETHAND has put the default action back; it runs once this handler returns.
  raise(signal_number);
}

void InstallHandlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    struct sigaction current {};
    sigaction(kEndingSignals[i], nullptr, &current);
    // A signal someone ignores or handles (nohup, a host's own handler) is left alone.
    if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO) != 0) continue;
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    g_installed[i] = sigaction(kEndingSignals[i], &action, &g_previous[i]) == 0;
  }
}

void RemoveHandlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (g_installed[i]) sigaction(kEndingSignals[i], &g_previous[i], nullptr);
    g_installed[i] = false;
  }
}

}  // namespace

void RestoreKeyboardNow() noexcept {
  if (g_raw == 0) return;
  g_raw = 0;
  const int saved_errno = errno;
  tcsetattr(g_saved.fd, TCSANOW, &g_saved.original);
  errno = saved_errno;
}

RawKeyboard::RawKeyboard(int fd) : fd_(fd) {
  if (g_live != 0) throw std::logic_error("one raw keyboard at a time");
  g_live = 1;
  termios modes{};
  if (isatty(fd) != 1 || tcgetattr(fd, &modes) != 0) return;
  g_saved.original = modes;
  g_saved.fd = fd;
  InstallHandlers();
  termios raw = modes;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
  raw.c_iflag &= static_cast<tcflag_t>(~IXON);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // Raw from the moment the change is made: a signal in between finds it to restore.
  g_raw = 1;
  if (tcsetattr(fd, TCSANOW, &raw) != 0) {
    g_raw = 0;
    RemoveHandlers();
    return;
  }
  terminal_ = true;
}

RawKeyboard::~RawKeyboard() {
  RestoreKeyboardNow();
  if (terminal_) RemoveHandlers();
  g_live = 0;
}

RawKeyboard::Result RawKeyboard::Read(std::span<char> buffer, bool wait) {
  Result result;
  if (buffer.empty()) return result;
  pollfd request{fd_, POLLIN, 0};
  // Not retried on EINTR: a signal is what the caller must get back to see.
  const int ready = poll(&request, 1, wait ? -1 : 0);
  if (ready <= 0) return result;
  if ((request.revents & POLLNVAL) != 0) {
    result.end = true;
    return result;
  }
  const ssize_t count = RetryOnInterrupt([&] { return read(fd_, buffer.data(), buffer.size()); });
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return result;
  if (count <= 0) {
    result.end = true;
    return result;
  }
  result.bytes = static_cast<size_t>(count);
  return result;
}

}  // namespace usborva::posix
