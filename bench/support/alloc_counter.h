// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_ALLOC_COUNTER_H_
#define USBORVA_BENCH_ALLOC_COUNTER_H_

#include <cstdint>

namespace usborva::bench {

// Heap allocations made by this program so far (every operator new counts).
uint64_t Allocations();

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_ALLOC_COUNTER_H_
