// SPDX-License-Identifier: Apache-2.0
#include "platform/posix/terminal.h"

#include <unistd.h>

namespace usborva::posix {

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace usborva::posix
