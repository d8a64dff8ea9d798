// SPDX-License-Identifier: Apache-2.0
#include "args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "suggest.h"
#include "usborva/text_guard.h"

namespace usborva::cli {
namespace {

bool IsNegativeNumber(std::string_view arg) {
  return arg.size() >= 2 && arg[0] == '-' && ((arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.');
}

bool IsOption(std::string_view arg) {
  return arg.size() >= 2 && arg[0] == '-' && !IsNegativeNumber(arg);
}

// A token of the command line in a message: short, escaped and masked, so a mistyped
// argument cannot echo a card number or a terminal escape.
std::string Quoted(std::string_view token) { return QuoteForMessage(token); }

const OptionSpec* Find(std::span<const OptionSpec> specs, std::string_view name) {
  for (const OptionSpec& spec : specs) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindShort(std::span<const OptionSpec> specs, char letter) {
  for (const OptionSpec& spec : specs) {
    if (spec.short_name != '\0' && spec.short_name == letter) return &spec;
  }
  return nullptr;
}

std::string SuggestOption(std::span<const OptionSpec> specs, std::string_view name) {
  std::vector<std::string_view> names;
  for (const OptionSpec& spec : specs) names.push_back(spec.name);
  return DidYouMean(name, names, "--");
}

}  // namespace

std::optional<std::string> Args::Value(std::string_view name) const {
  auto it = options_.find(std::string(name));
  return it == options_.end() ? std::nullopt : it->second;
}

Args ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs) {
  Args parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || !IsOption(arg)) {
      parsed.positionals_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name = arg == "-h" ? "help" : arg.substr(arg.rfind('-', 1) + 1);
    if (arg[1] != '-' && arg != "-h") {
      const OptionSpec* spec = arg.size() == 2 ? FindShort(specs, arg[1]) : nullptr;
      if (spec == nullptr) throw UsageError("unknown option " + Quoted(arg));
      name = spec->name;
    }
    std::optional<std::string> value;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    const OptionSpec* spec = Find(specs, name);
    if (spec == nullptr) {
      throw UsageError("unknown option --" + Quoted(name) + SuggestOption(specs, name));
    }
    if (spec->kind == OptionKind::kFlag && value) {
      throw UsageError("--" + Quoted(name) + " takes no value");
    }
    if (spec->kind == OptionKind::kValue && !value) {
      if (i + 1 >= args.size()) throw UsageError("--" + Quoted(name) + " needs a value");
      value = args[++i];
    }
    if (spec->kind == OptionKind::kOptionalValue && !value && i + 1 < args.size() &&
        !IsOption(args[i + 1])) {
      value = args[++i];
    }
    if (spec->kind != OptionKind::kFlag && parsed.options_.count(name) != 0) {
      throw UsageError("--" + Quoted(name) + " is given twice");
    }
    parsed.options_[name] = value;
  }
  return parsed;
}

int16_t ParseInteger16(const std::string& text, std::string_view what) {
  size_t start = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool digits = start < text.size();
  for (size_t i = start; i < text.size(); ++i) digits = digits && text[i] >= '0' && text[i] <= '9';
  if (!digits)
    throw UsageError(std::string(what) + " must be a whole number, not '" + Quoted(text) + "'");
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || value < std::numeric_limits<int16_t>::min() ||
      value > std::numeric_limits<int16_t>::max()) {
    throw UsageError(std::string(what) + " " + Quoted(text) + " is out of range (-32768 to 32767)");
  }
  return static_cast<int16_t>(value);
}

double ParseSeconds(const std::string& text, std::string_view what) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  const bool plain = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
  if (!plain || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value) ||
      value <= 0 || value > 1e7) {
    throw UsageError(std::string(what) + " must be a positive number of seconds, not '" +
                     Quoted(text) + "'");
  }
  return value;
}

void ExpectPositionals(const Args& args, size_t min, size_t max, std::string_view usage) {
  const size_t count = args.positionals().size();
  if (count < min) throw UsageError("missing arguments (usage: " + std::string(usage) + ")");
  if (count > max) {
    throw UsageError("unexpected argument '" + Quoted(args.positionals()[max]) +
                     "' (usage: " + std::string(usage) + ")");
  }
}

}  // namespace usborva::cli
