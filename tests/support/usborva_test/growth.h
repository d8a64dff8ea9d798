// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_GROWTH_H_
#define USBORVA_TEST_GROWTH_H_

#include <functional>

namespace usborva::test {

// How many times longer `large` takes than `small`, in this thread's processor time, so
// other work on a busy machine does not stretch one side. Each side is timed as the best of
// five runs after one unmeasured run; the whole comparison is repeated up to three times
// while the ratio stays at or above `enough`, and the smallest ratio seen is returned.
// For a tenfold input a linear reader gives about 10 and a quadratic one about 100, so
// `enough` near 15 separates them without ever failing a linear reader on a loaded machine.
double GrowthRatio(const std::function<void()>& small, const std::function<void()>& large,
                   double enough = 15);

}  // namespace usborva::test

#endif  // USBORVA_TEST_GROWTH_H_
