// SPDX-License-Identifier: Apache-2.0
// An environment variable set for a test's scope, put back as it was afterwards.
#ifndef USBORVA_TEST_ENVIRONMENT_VARIABLE_H_
#define USBORVA_TEST_ENVIRONMENT_VARIABLE_H_

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace usborva::test {

class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvironmentVariable() {
    if (saved_) {
      setenv(name_, saved_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

}  // namespace usborva::test

#endif  // USBORVA_TEST_ENVIRONMENT_VARIABLE_H_
