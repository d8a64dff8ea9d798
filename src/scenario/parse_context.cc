#include "scenario/parse_context.h"

#include <algorithm>

namespace usborva::scenario {
namespace {

constexpr size_t kItemHeader = 4;  // report ID, item type, status, length
constexpr size_t kItemMax = 255;   // the length is one byte

std::string Usage(const ParseContext& context, const Line& line) {
  std::string usage = std::string(line.keyword().text);
  if (context.directive != nullptr && !context.directive->usage.empty()) {
    usage += " " + std::string(context.directive->usage);
  }
  return usage;
}

}  // namespace

void ParseContext::ExpectArgs(const Line& line, size_t min, size_t max) const {
  const size_t count = line.tokens.size() - 1;
  if (count < min) {
    throw LineError::AtEnd(line.tokens.back(),
                           "too few values (usage: " + Usage(*this, line) + ")");
  }
  if (count > max) {
    throw LineError(line.tokens[max + 1], "too many values (usage: " + Usage(*this, line) + ")");
  }
}

void ParseContext::AddStep(Step step, const Token& at) {
  if (scenario.steps.size() >= kMaxSteps) {
    throw LineError(at, "the scenario has more than " + std::to_string(kMaxSteps) + " steps");
  }
  if (length + step.wait > kMaxLength)
    throw LineError(at, "the scenario runs for more than a week");
  size_t bytes = 0;
  for (const sim::Report& report : step.reports) bytes += report.size();
  if (report_bytes + bytes > kMaxReportBytes) {
    throw LineError(at, "the scenario's reports take more than " +
                            std::to_string(kMaxReportBytes >> 20) + " MiB");
  }
  report_bytes += bytes;
  length += step.wait;
  step.line = at.line;
  scenario.steps.push_back(std::move(step));
}

size_t ParseContext::InputLength() const {
  return static_cast<size_t>(std::max<int16_t>(scenario.terminal.input_report_length, 1));
}

size_t ParseContext::ItemCapacity() const {
  const size_t length = InputLength();
  return length <= kItemHeader ? 0 : std::min(kItemMax, length - kItemHeader);
}

}  // namespace usborva::scenario
