// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_RANDOM_BYTES_H_
#define USBORVA_BENCH_RANDOM_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace usborva::bench {

// n bytes that look random but are the same on every run (a linear congruential generator
// with a fixed seed), so figures from different runs measure the same input.
inline std::vector<uint8_t> RandomBytes(size_t n) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = 0x2545F491u;
  for (uint8_t& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return bytes;
}

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_RANDOM_BYTES_H_
