// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_SOAK_LIVE_ALLOCATIONS_H_
#define USBORVA_TESTS_SOAK_LIVE_ALLOCATIONS_H_

#include <cstdint>

namespace usborva::soak {

// Blocks obtained through operator new and not yet given back, in this program.
int64_t LiveAllocations();
// The resident set size in KiB (from /proc/self/status), or -1 when unknown.
int64_t ResidentKiB();

}  // namespace usborva::soak

#endif  // USBORVA_TESTS_SOAK_LIVE_ALLOCATIONS_H_
