// SPDX-License-Identifier: Apache-2.0
#include "usborva_test/growth.h"

#include <time.h>

#include <algorithm>

namespace usborva::test {
namespace {

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double BestOfFive(const std::function<void()>& work) {
  work();  // caches and allocator warmed, not measured
  double best = 1e300;
  for (int run = 0; run < 5; ++run) {
    const double start = ThreadSeconds();
    work();
    best = std::min(best, ThreadSeconds() - start);
  }
  return std::max(best, 1e-7);  // a run too quick for the clock counts as one tick
}

}  // namespace

double GrowthRatio(const std::function<void()>& small, const std::function<void()>& large,
                   double enough) {
  double smallest = 1e300;
  for (int round = 0; round < 3 && smallest >= enough; ++round) {
    smallest = std::min(smallest, BestOfFive(large) / BestOfFive(small));
  }
  return smallest;
}

}  // namespace usborva::test
