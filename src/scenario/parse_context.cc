// SPDX-License-Identifier: Apache-2.0
#include "scenario/parse_context.h"

#include <algorithm>

#include "usborva/protocol.h"

namespace usborva::scenario {
namespace {

std::string Usage(const ParseContext& context, const Line& line) {
  std::string usage = std::string(line.keyword().text);
  if (context.directive != nullptr && !context.directive->usage.empty()) {
    usage += " " + std::string(context.directive->usage);
  }
  return usage;
}

StepTotals TotalsOf(std::span<const Step> steps) {
  StepTotals totals;
  for (const Step& step : steps) {
    ++totals.steps;
    for (const sim::Report& report : step.reports) totals.report_bytes += report.size();
    if (step.model.bytes) totals.report_bytes += step.model.bytes->size();
    totals.note_bytes += step.text.size();
    totals.length += step.kind == StepKind::kExpect ? step.expect.within : step.wait;
  }
  return totals;
}

// Counts `more` in, or throws at `at` naming the limit it would pass. Each sum is checked
// against what is left of its limit, so no product or sum of large counts can wrap.
void Reserve(StepTotals& totals, const StepTotals& more, const Token& at, const std::string& why) {
  if (more.steps > kMaxSteps - totals.steps) {
    throw LineError(at, "the scenario has more than " + std::to_string(kMaxSteps) + " steps" + why);
  }
  if (more.length > kMaxLength - totals.length) {
    throw LineError(at, "the scenario runs for more than a week" + why);
  }
  if (more.report_bytes > kMaxReportBytes - totals.report_bytes) {
    throw LineError(at, "the scenario's reports take more than " +
                            std::to_string(kMaxReportBytes >> 20) + " MiB" + why);
  }
  if (more.note_bytes > kMaxNoteBytes - totals.note_bytes) {
    throw LineError(at, "the scenario's notes take more than " +
                            std::to_string(kMaxNoteBytes >> 20) + " MiB" + why);
  }
  totals.steps += more.steps;
  totals.length += more.length;
  totals.report_bytes += more.report_bytes;
  totals.note_bytes += more.note_bytes;
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
  Reserve(totals, TotalsOf(std::span<const Step>(&step, 1)), at, "");
  step.line = at.line;
  Steps().push_back(std::move(step));
}

void ParseContext::ChangeModel(ModelChange change, const Token& at) {
  if (!in_rule) {
    ApplyModelChange(change, scenario.terminal.terminal);
    return;
  }
  Step step;
  step.kind = StepKind::kModel;
  step.model = std::move(change);
  AddStep(std::move(step), at);
}

void ParseContext::RepeatSteps(size_t first_step, int times, const Token& at, int repeat_line) {
  std::vector<Step>& steps = Steps();
  const std::span<const Step> body = std::span<const Step>(steps).subspan(first_step);
  const StepTotals once = TotalsOf(body);
  const auto n = static_cast<uint64_t>(times);
  StepTotals more;
  more.steps = once.steps * n;
  more.report_bytes = once.report_bytes * n;
  more.note_bytes = once.note_bytes * n;
  more.length = once.length * times;
  Reserve(totals, more, at,
          " once the repeat of line " + std::to_string(repeat_line) + " is expanded");
  const size_t body_size = body.size();
  steps.reserve(steps.size() + static_cast<size_t>(more.steps));
  for (uint64_t copy = 0; copy < n; ++copy) {
    for (size_t i = 0; i < body_size; ++i) steps.push_back(steps[first_step + i]);
  }
}

size_t ParseContext::InputLength() const {
  return static_cast<size_t>(std::max<int16_t>(scenario.terminal.input_report_length, 1));
}

size_t ParseContext::ItemCapacity() const {
  const size_t length = InputLength();
  // The item's header (report ID, item type, status, length) comes first.
  constexpr size_t kHeader = protocol::kCardItemDataOffset;
  return length <= kHeader ? 0 : std::min(protocol::kCardItemMaxData, length - kHeader);
}

}  // namespace usborva::scenario
