// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_EXIT_CODES_H_
#define USBORVA_TOOLS_EXIT_CODES_H_

namespace usborva::cli {

// What scripts can rely on; docs/cli.md lists them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;           // settings get: no such key (and no default)
inline constexpr int kExitUsage = 2;              // the command line is wrong
inline constexpr int kExitNoTerminal = 3;         // no supported terminal to open
inline constexpr int kExitDeviceError = 4;        // the terminal, a file or the system failed
inline constexpr int kExitExpectationFailed = 5;  // monitor: an expectation of the scenario

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_EXIT_CODES_H_
