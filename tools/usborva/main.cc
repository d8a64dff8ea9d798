// SPDX-License-Identifier: Apache-2.0
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "exit_codes.h"
#include "platform/posix/raw_keyboard.h"
#include "process_guard.h"

namespace {

// A failure the top level could not catch (an exception out of a destructor, say) ends the
// run with one line and status 4, not an abort.
[[noreturn]] void OnTerminate() {
  usborva::posix::RestoreKeyboardNow();
  static constexpr char kMessage[] = "usborva: internal error\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(usborva::cli::kExitDeviceError);
}

}  // namespace

int main(int argc, char** argv) {
  usborva::cli::DisableCoreDumps();
  std::set_terminate(OnTerminate);
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = usborva::cli::RunTool(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
  } catch (...) {
    // Only the argument list itself can get here (RunTool catches everything else).
    std::cerr << "usborva: out of memory\n";
    return usborva::cli::kExitDeviceError;
  }
}
