// SPDX-License-Identifier: Apache-2.0
// `expect`: the timed input waits, within a time limit, for the host to send a feature
// report or for the control to raise an event, and fails the run when it does not come.
#include <array>

#include "scenario/parse_context.h"
#include "scenario/values.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

constexpr std::array<EventId, 7> kEvents = {
    EventId::kCardDataChanged,   EventId::kCardDataError, EventId::kDeviceStatusChanged,
    EventId::kCardStatusChanged, EventId::kPINResponse,   EventId::kSelectResponse,
    EventId::kDisplayDone};

constexpr char kUsage[] =
    "usage: expect set-feature HEX... within TIME, or expect event NAME [BYTE...] within TIME";

EventId ReadEvent(const Token& name) {
  for (EventId id : kEvents) {
    if (!name.quoted && name.text == EventName(id)) return id;
  }
  std::string names;
  for (EventId id : kEvents) names += (names.empty() ? "" : ", ") + std::string(EventName(id));
  throw LineError(name,
                  "unknown event '" + QuoteForMessage(name.text) + "' (events: " + names + ")");
}

// The event's leading byte arguments, in the order it declares them; ?? for any.
BytePattern ReadEventBytes(EventId event, std::span<const Token> tokens) {
  const auto names = EventByteNames(event);
  size_t declared = 0;
  while (declared < names.size() && !names[declared].empty()) ++declared;
  if (tokens.size() > declared) {
    std::string list;
    for (size_t i = 0; i < declared; ++i) list += (i == 0 ? "" : " ") + std::string(names[i]);
    throw LineError(tokens[declared], std::string(EventName(event)) + " has " +
                                          std::to_string(declared) + " byte argument" +
                                          (declared == 1 ? "" : "s") +
                                          (declared == 0 ? "" : " (" + list + ")"));
  }
  BytePattern pattern;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (!tokens[i].quoted && tokens[i].text == "??") {
      pattern.emplace_back(std::nullopt);
    } else {
      pattern.emplace_back(ReadByte(tokens[i], names[i]));
    }
  }
  return pattern;
}

std::string Joined(std::span<const Token> tokens) {
  std::string text;
  for (const Token& token : tokens) text += (text.empty() ? "" : " ") + token.text;
  return text;
}

}  // namespace

void Expect(ParseContext& context, const Line& line) {
  if (context.in_rule) {
    throw LineError(line.keyword(),
                    "'expect' goes in the timed input, not in an 'on' block: a rule is what "
                    "the terminal does, an expectation what the host must do");
  }
  const std::span<const Token> args = line.args();
  if (args.empty()) throw LineError::AtEnd(line.keyword(), kUsage);
  if (args.size() < 3 || args[args.size() - 2].quoted || args[args.size() - 2].text != "within") {
    throw LineError::AtEnd(line.tokens.back(),
                           "an expectation ends in 'within TIME', how long to wait for it (" +
                               std::string(kUsage) + ")");
  }
  Step step;
  step.kind = StepKind::kExpect;
  Expectation& expect = step.expect;
  expect.within = ReadDuration(args.back());
  if (expect.within.count() == 0) {
    throw LineError(args.back(), "an expectation waits more than 0 ms");
  }
  const Token& what = args[0];
  const std::span<const Token> body = args.subspan(1, args.size() - 3);
  if (!what.quoted && what.text == "set-feature") {
    expect.kind = Expectation::Kind::kSetFeature;
    expect.pattern = ReadPattern(body, "pattern");
    if (expect.pattern.empty()) {
      throw LineError::AtEnd(what, "give the bytes to expect, report ID first");
    }
    context.patterns.push_back({expect.pattern.size(), line.number, body.front().column});
  } else if (!what.quoted && what.text == "event") {
    if (body.empty()) throw LineError::AtEnd(what, "name the event to expect");
    expect.kind = Expectation::Kind::kEvent;
    expect.event = ReadEvent(body.front());
    expect.pattern = ReadEventBytes(expect.event, body.subspan(1));
  } else {
    throw LineError(what, "expect 'set-feature' or 'event', not '" + QuoteForMessage(what.text) +
                              "' (" + kUsage + ")");
  }
  expect.text = Joined(args);
  context.AddStep(std::move(step), line.keyword());
}

}  // namespace usborva::scenario
