// SPDX-License-Identifier: Apache-2.0
// Reads scenario text line by line: the terminal description (with its rules) first, then
// the timed input, with repeat blocks expanded as they close. Each byte of the text is looked at a
// bounded number of times, and what the repeats expand into is checked against the limits before it
// is built, so neither a long line nor a repeat bomb costs more than its limit.
#include <algorithm>
#include <iterator>
#include <vector>

#include "scenario/edit_distance.h"
#include "scenario/lexer.h"
#include "scenario/parse_context.h"
#include "scenario/values.h"
#include "usborva/scenario.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

// An open block: a repeat, or a rule's `on`; `end` closes the innermost.
struct BlockFrame {
  bool rule = false;
  int count = 0;  // a repeat's
  size_t first_step = 0;
  bool plugged = true;  // as the block found the terminal
  int line = 0;
  int column = 0;
};

const DirectiveSpec* FindDirective(std::string_view keyword) {
  for (auto table : {DescriptionDirectives(), StepDirectives()}) {
    for (const DirectiveSpec& spec : table) {
      if (spec.keyword == keyword) return &spec;
    }
  }
  return nullptr;
}

std::string UnknownDirective(std::string_view keyword) {
  std::string message = "unknown directive '" + QuoteForMessage(keyword) + "'";
  std::string_view best;
  size_t best_distance = 3;
  for (auto table : {DescriptionDirectives(), StepDirectives()}) {
    for (const DirectiveSpec& spec : table) {
      // The lengths alone put a long word out of reach: no need to compare it.
      const size_t apart = std::max(keyword.size(), spec.keyword.size()) -
                           std::min(keyword.size(), spec.keyword.size());
      if (apart >= best_distance) continue;
      const size_t distance = EditDistance(keyword, spec.keyword);
      if (distance < best_distance) {
        best = spec.keyword;
        best_distance = distance;
      }
    }
  }
  if (!best.empty()) message += "; did you mean '" + std::string(best) + "'?";
  return message;
}

class Parser {
 public:
  explicit Parser(std::string source) : source_(std::move(source)) {
    context_.scenario.source = source_;
    // A scenario says which configuration file the machine has; none unless it says so.
    context_.scenario.config_text = std::nullopt;
  }

  Scenario Parse(std::string_view text) {
    if (text.size() > kMaxScenarioBytes) {
      throw ScenarioError(source_, 0, 0,
                          "the scenario is " + std::to_string(text.size()) +
                              " bytes; a scenario is at most " +
                              std::to_string(kMaxScenarioBytes >> 20) + " MiB");
    }
    // Lines end in a line feed, a carriage return and a line feed, or a carriage return
    // alone, as each of the systems a host developer writes on ends them.
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      ReadPhysicalLine(text.substr(start, end - start), ++number);
      start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    if (!pending_.tokens.empty()) Finish();
    if (!blocks_.empty()) {
      const BlockFrame& open = blocks_.back();
      throw ScenarioError(source_, open.line, open.column,
                          std::string(open.rule ? "this 'on' block" : "this repeat block") +
                              " is not closed: add a line 'end'");
    }
    CheckPatterns();
    return std::move(context_.scenario);
  }

 private:
  // A line whose last word is a lone backslash goes on on the next line.
  void ReadPhysicalLine(std::string_view text, int number) {
    std::vector<Token> tokens;
    // What is left of the line's words, and one more for a continuation mark.
    const size_t room = kMaxLineWords - pending_.tokens.size() + 1;
    try {
      tokens = TokenizeLine(text, number, room);
    } catch (const LineError& error) {
      throw ScenarioError(source_, number, error.column, error.message);
    }
    if (pending_.tokens.empty()) pending_.number = number;
    const bool continued = !tokens.empty() && !tokens.back().quoted && tokens.back().text == "\\";
    if (continued) tokens.pop_back();
    if (tokens.size() == room) {
      throw ScenarioError(source_, number, tokens.back().column,
                          "a line holds at most " + std::to_string(kMaxLineWords) +
                              " words, continuation lines included");
    }
    pending_.tokens.insert(pending_.tokens.end(), std::make_move_iterator(tokens.begin()),
                           std::make_move_iterator(tokens.end()));
    if (!continued && !pending_.tokens.empty()) Finish();
  }

  void Finish() {
    Line line = std::move(pending_);
    pending_ = Line();
    try {
      Dispatch(line);
    } catch (const LineError& error) {
      throw ScenarioError(source_, error.line > 0 ? error.line : line.number, error.column,
                          error.message);
    }
  }

  void Dispatch(const Line& line) {
    const Token& keyword = line.keyword();
    if (keyword.quoted) throw LineError(keyword, "a line starts with a directive, not a text");
    if (keyword.text == "on") return BeginRule(line);
    if (keyword.text == "repeat") return BeginRepeat(line);
    if (keyword.text == "end") return EndBlock(line);
    const DirectiveSpec* spec = FindDirective(keyword.text);
    if (spec == nullptr) throw LineError(keyword, UnknownDirective(keyword.text));
    if (context_.in_rule && spec->kind == DirectiveKind::kDescription) {
      throw LineError(keyword, "'" + keyword.text +
                                   "' cannot go in an 'on' block: a rule changes the terminal's "
                                   "answers to GetFeatureReport (feature-report, info-item, "
                                   "config and the identity items), not what it is");
    }
    const bool describes =
        spec->kind == DirectiveKind::kDescription || spec->kind == DirectiveKind::kModel;
    if (describes && context_.in_steps) {
      throw LineError(keyword,
                      "'" + keyword.text +
                          "' describes the terminal: it goes before the timed "
                          "input, which began on line " +
                          std::to_string(first_step_line_) +
                          (spec->kind == DirectiveKind::kModel ? ", or in an 'on' block" : ""));
    }
    if (spec->kind == DirectiveKind::kStep && !context_.in_rule) EnterSteps(line);
    context_.directive = spec;
    spec->handler(context_, line);
  }

  void EnterSteps(const Line& line) {
    if (context_.in_steps) return;
    context_.in_steps = true;
    first_step_line_ = line.number;
  }

  // on set-feature PATTERN...: a rule of the terminal, in its description.
  void BeginRule(const Line& line) {
    context_.directive = nullptr;
    const Token& keyword = line.keyword();
    if (context_.in_rule) {
      throw LineError(keyword, "an 'on' block cannot hold another: the one of line " +
                                   std::to_string(blocks_.front().line) + " is still open");
    }
    if (context_.in_steps) {
      throw LineError(keyword,
                      "'on' describes the terminal: it goes before the timed input, which "
                      "began on line " +
                          std::to_string(first_step_line_));
    }
    const std::string usage = "usage: on set-feature HEX... (report ID first; ?? is any byte)";
    if (line.tokens.size() < 2) throw LineError::AtEnd(keyword, usage);
    const Token& trigger = line.tokens[1];
    if (trigger.quoted || trigger.text != "set-feature") {
      throw LineError(trigger, "a rule reacts to 'set-feature', not '" +
                                   QuoteForMessage(trigger.text) + "' (" + usage + ")");
    }
    if (context_.scenario.rules.size() >= kMaxRules) {
      throw LineError(keyword,
                      "a scenario has at most " + std::to_string(kMaxRules) + " 'on' blocks");
    }
    const std::span<const Token> bytes = line.args().subspan(1);
    Rule rule;
    rule.pattern = ReadPattern(bytes, "pattern");
    if (rule.pattern.empty()) {
      throw LineError::AtEnd(trigger,
                             "give the bytes to react to, report ID first (" + usage + ")");
    }
    rule.line = line.number;
    context_.patterns.push_back({rule.pattern.size(), line.number, bytes.front().column});
    context_.scenario.rules.push_back(std::move(rule));
    BlockFrame frame;
    frame.rule = true;
    frame.plugged = context_.plugged;
    frame.line = line.number;
    frame.column = keyword.column;
    blocks_.push_back(frame);
    context_.in_rule = true;
    // The host's feature report went through: the terminal is there when a run starts.
    context_.plugged = true;
  }

  void BeginRepeat(const Line& line) {
    if (!context_.in_rule) EnterSteps(line);
    context_.directive = nullptr;
    if (line.tokens.size() != 2) {
      throw LineError::AtEnd(line.keyword(), "usage: repeat COUNT ... end");
    }
    if (blocks_.size() - (context_.in_rule ? 1 : 0) >= static_cast<size_t>(kMaxRepeatDepth)) {
      throw LineError(line.keyword(),
                      "repeat blocks nest at most " + std::to_string(kMaxRepeatDepth) + " deep");
    }
    const Token& count = line.tokens[1];
    BlockFrame frame;
    frame.count = static_cast<int>(ReadInteger(count, 0, kMaxRepeat, "repeat count"));
    frame.first_step = context_.Steps().size();
    frame.plugged = context_.plugged;
    frame.line = line.number;
    frame.column = line.keyword().column;
    blocks_.push_back(frame);
  }

  void EndBlock(const Line& line) {
    if (line.tokens.size() != 1) throw LineError(line.tokens[1], "'end' takes no values");
    if (blocks_.empty()) throw LineError(line.keyword(), "'end' without a 'repeat' or an 'on'");
    const BlockFrame frame = blocks_.back();
    blocks_.pop_back();
    if (frame.rule) {
      // A run may leave the terminal unplugged: it is a test of the host's recovery.
      context_.in_rule = false;
      context_.plugged = frame.plugged;
      return;
    }
    if (context_.plugged != frame.plugged) {
      throw LineError(line.keyword(),
                      "a repeat block must leave the terminal plugged in or out as it found it");
    }
    if (frame.count == 0) {
      context_.Steps().resize(frame.first_step);
    } else if (frame.count > 1) {
      context_.RepeatSteps(frame.first_step, frame.count - 1, line.keyword(), frame.line);
    }
  }

  // A pattern longer than the terminal's feature reports could never match.
  void CheckPatterns() const {
    const auto length =
        static_cast<size_t>(std::max<int16_t>(context_.scenario.terminal.feature_report_length, 0));
    for (const PatternUse& use : context_.patterns) {
      if (use.size <= length) continue;
      throw ScenarioError(source_, use.line, use.column,
                          "the pattern is " + std::to_string(use.size) +
                              " bytes; this terminal's feature reports are " +
                              std::to_string(length) + " (feature-length)");
    }
  }

  std::string source_;
  ParseContext context_;
  std::vector<BlockFrame> blocks_;
  Line pending_;
  int first_step_line_ = 0;
};

}  // namespace

Scenario ParseScenario(std::string_view text, std::string source) {
  return Parser(std::move(source)).Parse(text);
}

}  // namespace usborva::scenario
