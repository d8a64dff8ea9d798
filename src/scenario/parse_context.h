// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_PARSE_CONTEXT_H_
#define USBORVA_SCENARIO_PARSE_CONTEXT_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/lexer.h"
#include "usborva/scenario.h"

namespace usborva::scenario {

// One line of a scenario: its directive (tokens[0]) and its arguments.
struct Line {
  std::vector<Token> tokens;
  int number = 0;
  const Token& keyword() const { return tokens.front(); }
  std::span<const Token> args() const { return std::span<const Token>(tokens).subspan(1); }
};

struct DirectiveSpec;

// What steps add up to, against the scenario's limits.
// Sixty-four bits wide, so a repeat's product cannot wrap even where size_t is 32.
struct StepTotals {
  uint64_t steps = 0;
  uint64_t report_bytes = 0;
  uint64_t note_bytes = 0;
  Milliseconds length{0};
};

// A pattern of `on` or `expect set-feature`, checked against the feature report length once
// the whole description is read (the length may be given after it).
struct PatternUse {
  size_t size = 0;
  int line = 0;
  int column = 0;
};

// What the parser knows while it reads: the scenario so far and the terminal's state as
// the steps leave it.
struct ParseContext {
  Scenario scenario;
  bool in_steps = false;                     // the timed input has begun
  bool in_rule = false;                      // inside an `on` block: its steps go to the rule
  bool plugged = true;                       // after the steps so far
  StepTotals totals;                         // every step built so far, a repeat 0's too
  const DirectiveSpec* directive = nullptr;  // the one being read
  std::vector<PatternUse> patterns;

  // Whether a line makes a step (the timed input, or a rule's body) rather than describing
  // the terminal's start.
  bool Timed() const { return in_steps || in_rule; }
  // Where steps go: the open rule's body, else the timed input.
  std::vector<Step>& Steps() { return in_rule ? scenario.rules.back().steps : scenario.steps; }
  // An error unless the line has between min and max arguments.
  void ExpectArgs(const Line& line, size_t min, size_t max) const;
  // Appends a timed step, within the limits on steps, length, reports and notes.
  void AddStep(Step step, const Token& at);
  // A change to the terminal's answers: made now in the description, a step in a rule.
  void ChangeModel(ModelChange change, const Token& at);
  // Appends `times` more copies of the steps from first_step on: a repeat block of
  // repeat_line closing at `at`. The limits are checked before anything is copied.
  void RepeatSteps(size_t first_step, int times, const Token& at, int repeat_line);
  // The bytes a card-data item can hold on this terminal.
  size_t ItemCapacity() const;
  size_t InputLength() const;
};

// kModel: the terminal's answers, in the description or in a rule's body; kEither: in the
// description or as a step.
enum class DirectiveKind { kDescription, kModel, kStep, kEither };
using DirectiveHandler = void (*)(ParseContext&, const Line&);
struct DirectiveSpec {
  std::string_view keyword;
  std::string_view usage;  // the arguments, as docs/scenarios.md writes them
  DirectiveKind kind;
  DirectiveHandler handler;
};

std::span<const DirectiveSpec> DescriptionDirectives();
std::span<const DirectiveSpec> StepDirectives();

// `expect`, a step of the timed input (expectations.cc).
void Expect(ParseContext& context, const Line& line);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_PARSE_CONTEXT_H_
