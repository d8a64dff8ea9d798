// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_ARGS_H_
#define USBORVA_TOOLS_ARGS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace usborva::cli {

// A command line the tool cannot act on; the message says what is wrong, and main adds
// where to find the usage. Exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class OptionKind {
  kFlag,           // --json
  kValue,          // --data TEXT or --data=TEXT: always takes the next argument
  kOptionalValue,  // --simulate [SCENARIO]: takes the next argument unless it is an option
};

struct OptionSpec {
  std::string_view name;  // without the dashes
  OptionKind kind;
  char short_name = '\0';  // its one-letter form ("-i"), if it has one
};

// Options of one command and its positional arguments, in order. "--" ends the options; a
// lone "-" and negative numbers ("-3") are positional; -h is --help, and an option with a
// short_name has that one-letter form too.
class Args {
 public:
  bool Has(std::string_view name) const { return options_.count(std::string(name)) != 0; }
  // The option's value: nullopt when absent, or given without one.
  std::optional<std::string> Value(std::string_view name) const;
  const std::vector<std::string>& positionals() const { return positionals_; }

 private:
  friend Args ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs);
  std::map<std::string, std::optional<std::string>> options_;
  std::vector<std::string> positionals_;
};

// Throws UsageError for an unknown option, a missing value, or a value option given twice.
Args ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs);

// Strict readers of argument values; `what` names the value in the message.
int16_t ParseInteger16(const std::string& text, std::string_view what);
// Seconds, a positive decimal number ("2", "0.5").
double ParseSeconds(const std::string& text, std::string_view what);
// Throws unless the count of positionals lies in [min, max].
void ExpectPositionals(const Args& args, size_t min, size_t max, std::string_view usage);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_ARGS_H_
