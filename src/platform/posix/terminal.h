// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_TERMINAL_H_
#define USBORVA_PLATFORM_POSIX_TERMINAL_H_

namespace usborva::posix {

// Whether standard input is a terminal, so that a prompt can wait for a person's answer;
// input from a pipe or a file has nobody behind it to ask.
bool StandardInputIsTerminal();

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_TERMINAL_H_
