// SPDX-License-Identifier: Apache-2.0
// A command line of any bytes: the tool's argument parser either accepts it or refuses it
// with a UsageError whose message is short, escaped and holds no card number.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "args.h"
#include "fuzz_checks.h"
#include "usborva/text_guard.h"

namespace {

using usborva::fuzz::EscapesAsBlanks;
using usborva::fuzz::Require;

constexpr size_t kMaxArgs = 64;
// A message quotes at most 32 characters of a token, each at most a few bytes escaped.
constexpr size_t kMaxMessage = 400;

constexpr usborva::cli::OptionSpec kSpecs[] = {
    {"help", usborva::cli::OptionKind::kFlag},
    {"json", usborva::cli::OptionKind::kFlag},
    {"data", usborva::cli::OptionKind::kValue},
    {"simulate", usborva::cli::OptionKind::kOptionalValue},
    {"interactive", usborva::cli::OptionKind::kFlag, 'i'},
};

void RequireSafeMessage(const usborva::cli::UsageError& error) {
  const std::string_view message = error.what();
  Require(message.size() <= kMaxMessage);
  Require(!usborva::HoldsCardNumber(EscapesAsBlanks(message)));
  for (const char c : message) Require(static_cast<unsigned char>(c) >= 0x20);
}

template <typename Parse>
void Check(Parse parse) {
  try {
    parse();
  } catch (const usborva::cli::UsageError& error) {
    RequireSafeMessage(error);
  }
}

}  // namespace

// The arguments are the input split at NUL bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  for (size_t start = 0; start <= text.size() && args.size() < kMaxArgs;) {
    const size_t end = std::min(text.find('\0', start), text.size());
    args.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  Check([&] {
    const usborva::cli::Args parsed = usborva::cli::ParseArgs(args, kSpecs);
    Require(parsed.positionals().size() <= args.size());
    usborva::cli::ExpectPositionals(parsed, 0, 1, "usborva fuzz [ARG]");
  });
  for (const std::string& arg : args) {
    Check([&] { usborva::cli::ParseInteger16(arg, "N"); });
    Check([&] {
      const double seconds = usborva::cli::ParseSeconds(arg, "--duration");
      Require(seconds > 0 && seconds <= 1e7);
    });
  }
  return 0;
}
