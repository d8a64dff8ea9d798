// SPDX-License-Identifier: Apache-2.0
// The raw keyboard on a pseudo-terminal: raw while it lives, put back on every way out.
#include "platform/posix/raw_keyboard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace usborva::posix {
namespace {

// A pseudo-terminal pair; the far end (slave) is what a program sees as its terminal.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  int master() const { return master_; }
  int slave() const { return slave_; }
  termios Modes() const {
    termios modes{};
    tcgetattr(slave_, &modes);
    return modes;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

bool Cooked(const termios& modes) {
  return (modes.c_lflag & ICANON) != 0 && (modes.c_lflag & ECHO) != 0 &&
         (modes.c_lflag & ISIG) != 0;
}

bool SameModes(const termios& a, const termios& b) {
  return a.c_lflag == b.c_lflag && a.c_iflag == b.c_iflag && a.c_cc[VMIN] == b.c_cc[VMIN] &&
         a.c_cc[VTIME] == b.c_cc[VTIME];
}

class RawKeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!pty_.ok()) GTEST_SKIP() << "no pseudo-terminal here";
    before_ = pty_.Modes();
    ASSERT_TRUE(Cooked(before_));
  }
  // Runs body in a child process on the pty and returns its wait status.
  template <typename Body>
  int InChild(const Body& body) {
    const pid_t pid = fork();
    if (pid == 0) {
      const rlimit no_core{0, 0};  // SIGQUIT and SIGABRT would dump a core
      setrlimit(RLIMIT_CORE, &no_core);
      body();
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  Pty pty_;
  termios before_{};
};

TEST_F(RawKeyboardTest, RawWhileAliveKeysWithoutEnterThenPutBack) {
  {
    RawKeyboard keyboard(pty_.slave());
    EXPECT_TRUE(keyboard.terminal());
    const termios raw = pty_.Modes();
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    // Nothing typed: no wait, no bytes, no end.
    char buffer[8];
    RawKeyboard::Result nothing = keyboard.Read(buffer, false);
    EXPECT_EQ(nothing.bytes, 0u);
    EXPECT_FALSE(nothing.end);
    // A key and Ctrl-C arrive at once, without a line feed, and Ctrl-C is a key.
    ASSERT_EQ(write(pty_.master(), "1\x03", 2), 2);
    RawKeyboard::Result keys = keyboard.Read(buffer, true);
    EXPECT_EQ(std::string(buffer, keys.bytes), "1\x03");
    EXPECT_THROW(RawKeyboard second(pty_.slave()), std::logic_error);
  }
  EXPECT_TRUE(SameModes(pty_.Modes(), before_));
  // And the next one may be made.
  RawKeyboard again(pty_.slave());
  EXPECT_TRUE(again.terminal());
}

TEST_F(RawKeyboardTest, PutBackWhenAnExceptionLeavesTheScope) {
  try {
    RawKeyboard keyboard(pty_.slave());
    throw std::runtime_error("a failure mid-run");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(SameModes(pty_.Modes(), before_));
}

// The ways out that run no destructor: each still ends the process as it would have, and
// the terminal is back to what it was.
TEST_F(RawKeyboardTest, PutBackWhenASignalEndsTheProcess) {
  for (int signal_number : {SIGHUP, SIGQUIT, SIGPIPE, SIGABRT}) {
    const int status = InChild([&] {
      RawKeyboard keyboard(pty_.slave());
      if (!keyboard.terminal()) _exit(3);
      kill(getpid(), signal_number);
      _exit(4);  // not reached: the signal ends the process
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signal_number << " status " << status;
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_TRUE(SameModes(pty_.Modes(), before_)) << "signal " << signal_number;
  }
}

TEST_F(RawKeyboardTest, RestoreKeyboardNowServesAnImmediateExit) {
  const int status = InChild([&] {
    RawKeyboard keyboard(pty_.slave());
    RestoreKeyboardNow();
    _exit(keyboard.terminal() ? 0 : 3);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(SameModes(pty_.Modes(), before_));
}

TEST_F(RawKeyboardTest, AnIgnoredHangUpStaysIgnored) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old {};
  sigaction(SIGHUP, &ignore, &old);
  {
    RawKeyboard keyboard(pty_.slave());
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
  }
  sigaction(SIGHUP, &old, nullptr);
}

// A pipe is read as it is, and its end is the end of input.
TEST(RawKeyboardPipeTest, APipeIsNoTerminalAndItsCloseEndsTheInput) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  RawKeyboard keyboard(fds[0]);
  EXPECT_FALSE(keyboard.terminal());
  char buffer[8];
  EXPECT_EQ(keyboard.Read(buffer, false).bytes, 0u);
  ASSERT_EQ(write(fds[1], "1pq", 3), 3);
  close(fds[1]);
  RawKeyboard::Result keys = keyboard.Read(buffer, false);
  EXPECT_EQ(std::string(buffer, keys.bytes), "1pq");
  EXPECT_FALSE(keys.end);
  EXPECT_TRUE(keyboard.Read(buffer, true).end);
  close(fds[0]);
}

}  // namespace
}  // namespace usborva::posix
