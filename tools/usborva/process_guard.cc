// SPDX-License-Identifier: Apache-2.0
#include "process_guard.h"

#include <sys/resource.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace usborva::cli {

void DisableCoreDumps() {
  const struct rlimit none {};
  setrlimit(RLIMIT_CORE, &none);
#ifdef __linux__
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

}  // namespace usborva::cli
