// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_RAW_KEYBOARD_H_
#define USBORVA_PLATFORM_POSIX_RAW_KEYBOARD_H_

#include <cstddef>
#include <span>

namespace usborva::posix {

// Keys as they are typed, for a program that reads them between the ticks of its own loop.
// On a terminal the keyboard is put in raw mode for as long as this object lives: no echo,
// no line editing (a key arrives without Enter), and the terminal's signal and flow-control
// keys (Ctrl-C, Ctrl-Z, Ctrl-\, Ctrl-S) arrive as keys too, so the program decides what they
// do. The terminal is put back as it was found on every way out: destruction (a normal end
// or an exception), a hang-up, SIGQUIT, SIGABRT or SIGPIPE (each still ends the process as
// it would have), and RestoreKeyboardNow for handlers that end the process themselves.
// Input that is no terminal (a pipe, a file) is read as it is, unchanged.
//
// One at a time per process: a second one while the first lives throws std::logic_error.
class RawKeyboard {
 public:
  // Reads from fd (standard input by default), which must stay open while this lives.
  explicit RawKeyboard(int fd = 0);
  ~RawKeyboard();
  RawKeyboard(const RawKeyboard&) = delete;
  RawKeyboard& operator=(const RawKeyboard&) = delete;

  // Whether the input is a terminal (and now in raw mode).
  bool terminal() const { return terminal_; }

  struct Result {
    size_t bytes = 0;  // read into the buffer
    bool end = false;  // the input has ended: end of file, pipe closed, terminal hung up
  };
  // The bytes that have arrived, at most buffer.size(). Without wait it never blocks; with
  // wait it blocks until a byte arrives, the input ends or a signal is delivered (then 0
  // bytes and not end, so the caller can look at the signal). A read error counts as end.
  Result Read(std::span<char> buffer, bool wait);

 private:
  int fd_;
  bool terminal_ = false;
};

// Puts the terminal a live RawKeyboard changed back as it was found; nothing when none is
// live. Async-signal-safe: for a signal handler or a failure path that ends the process at
// once (_exit) without running destructors.
void RestoreKeyboardNow() noexcept;

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_RAW_KEYBOARD_H_
