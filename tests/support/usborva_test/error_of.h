// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_ERROR_OF_H_
#define USBORVA_TEST_ERROR_OF_H_

#include <cstdint>
#include <functional>
#include <optional>

#include "usborva/automation_error.h"

namespace usborva::test {

// The automation error number a call raises, or nullopt when it returns normally.
inline std::optional<int32_t> ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return std::nullopt;
}

}  // namespace usborva::test

#endif  // USBORVA_TEST_ERROR_OF_H_
