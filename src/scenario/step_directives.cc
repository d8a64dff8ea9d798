// SPDX-License-Identifier: Apache-2.0
// The timed input: what the terminal sends, and what happens to it, as time passes. Every
// report is built here, at the terminal's input report length, so the player only queues.
#include <algorithm>
#include <array>
#include <optional>

#include "scenario/parse_context.h"
#include "scenario/values.h"
#include "usborva/protocol.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

void AddReports(ParseContext& context, const Line& line, std::vector<sim::Report> reports) {
  Step step;
  step.kind = StepKind::kReports;
  step.reports = std::move(reports);
  context.AddStep(std::move(step), line.keyword());
}

void Wait(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  Step step;
  step.kind = StepKind::kWait;
  step.wait = ReadDuration(line.args()[0]);
  context.AddStep(std::move(step), line.args()[0]);
}

std::array<uint8_t, 3> ThreeBytes(const Line& line, const ParseContext& context,
                                  std::array<std::string_view, 3> names) {
  context.ExpectArgs(line, 3, 3);
  std::array<uint8_t, 3> bytes{};
  for (size_t i = 0; i < 3; ++i) bytes[i] = ReadByte(line.args()[i], names[i]);
  return bytes;
}

void DeviceStatus(ParseContext& context, const Line& line) {
  auto [state, session, status] =
      ThreeBytes(line, context, {"device state", "session status", "device status"});
  AddReports(context, line, {sim::DeviceStatus(state, session, status, context.InputLength())});
}

void CardStatus(ParseContext& context, const Line& line) {
  auto [op, card, type] =
      ThreeBytes(line, context, {"operation status", "card status", "card type"});
  AddReports(context, line, {sim::CardStatus(op, card, type, context.InputLength())});
}

std::vector<uint8_t> FixedHex(const Token& token, size_t size, std::string_view what) {
  std::vector<uint8_t> bytes = ReadHex(token, what);
  if (bytes.size() != size) {
    throw LineError(token, "the " + std::string(what) + " is " + std::to_string(size) + " bytes (" +
                               std::to_string(2 * size) + " hex digits), got " +
                               std::to_string(bytes.size()));
  }
  return bytes;
}

void PinResponse(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 3, 3);
  const uint8_t op = ReadByte(line.args()[0], "operation status");
  const std::vector<uint8_t> ksn = FixedHex(line.args()[1], protocol::kKsnLength, "KSN");
  const std::vector<uint8_t> epb = FixedHex(line.args()[2], protocol::kPINBlockLength, "PIN block");
  AddReports(context, line, {sim::PINResponse(op, ksn, epb, context.InputLength())});
}

void SelectResponse(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 2, 2);
  const uint8_t op = ReadByte(line.args()[0], "operation status");
  const uint8_t key = ReadByte(line.args()[1], "key");
  AddReports(context, line, {sim::SelectResponse(op, key, context.InputLength())});
}

void DisplayDone(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  const uint8_t status = ReadByte(line.args()[0], "display status");
  AddReports(context, line, {sim::DisplayDone(status, context.InputLength())});
}

void RawReport(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 32767);
  std::vector<uint8_t> bytes = ReadHexTokens(line.args(), "report");
  if (bytes.empty()) throw LineError(line.args()[0], "a report needs at least its ID");
  if (bytes.size() > context.InputLength()) {
    throw LineError(line.args()[0], "the report is " + std::to_string(bytes.size()) +
                                        " bytes; this terminal's input reports are " +
                                        std::to_string(context.InputLength()));
  }
  bytes.resize(context.InputLength(), 0);
  AddReports(context, line, {std::move(bytes)});
}

void Unplug(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 0, 0);
  if (!context.plugged) throw LineError(line.keyword(), "the terminal is already unplugged");
  context.plugged = false;
  Step step;
  step.kind = StepKind::kUnplug;
  context.AddStep(std::move(step), line.keyword());
}

void Plug(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 0, 0);
  if (context.plugged) throw LineError(line.keyword(), "the terminal is already plugged in");
  context.plugged = true;
  Step step;
  step.kind = StepKind::kPlug;
  context.AddStep(std::move(step), line.keyword());
}

void Fault(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 2);
  const Token& name = line.args()[0];
  std::optional<sim::Fault> fault = sim::FaultFromName(name.text);
  if (!fault || name.quoted) {
    std::string names;
    for (int i = 0; i < sim::kFaultCount; ++i) {
      names += (i == 0 ? "" : ", ") + std::string(sim::FaultName(static_cast<sim::Fault>(i)));
    }
    throw LineError(name,
                    "unknown fault '" + QuoteForMessage(name.text) + "' (faults: " + names + ")");
  }
  const bool on = line.args().size() < 2 || ReadOnOff(line.args()[1]);
  if (!context.Timed()) {
    std::vector<sim::Fault>& faults = context.scenario.faults;
    faults.erase(std::remove(faults.begin(), faults.end(), *fault), faults.end());
    if (on) faults.push_back(*fault);
    return;
  }
  Step step;
  step.kind = StepKind::kFault;
  step.fault = *fault;
  step.fault_on = on;
  context.AddStep(std::move(step), line.keyword());
}

void Note(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 4096);
  Step step;
  step.kind = StepKind::kNote;
  for (const Token& token : line.args()) {
    if (!step.text.empty()) step.text += ' ';
    step.text += token.text;
    if (step.text.size() > kMaxTextBytes) {
      throw LineError(token, "a note holds at most " + std::to_string(kMaxTextBytes) + " bytes");
    }
  }
  context.AddStep(std::move(step), line.keyword());
}

void Swipe(ParseContext& context, const Line& line);

constexpr DirectiveSpec kDirectives[] = {
    {"wait", "TIME", DirectiveKind::kStep, Wait},
    {"device-status", "STATE SESSION STATUS", DirectiveKind::kStep, DeviceStatus},
    {"card-status", "OPSTATUS CARDSTATUS CARDTYPE", DirectiveKind::kStep, CardStatus},
    {"swipe", "[FIELD VALUE]...", DirectiveKind::kStep, Swipe},
    {"pin-response", "OPSTATUS KSN EPB", DirectiveKind::kStep, PinResponse},
    {"select-response", "OPSTATUS KEY", DirectiveKind::kStep, SelectResponse},
    {"display-done", "STATUS", DirectiveKind::kStep, DisplayDone},
    {"report", "HEX...", DirectiveKind::kStep, RawReport},
    {"unplug", "", DirectiveKind::kStep, Unplug},
    {"plug", "", DirectiveKind::kStep, Plug},
    {"fault", "NAME [on|off]", DirectiveKind::kEither, Fault},
    {"note", "TEXT", DirectiveKind::kStep, Note},
    {"expect", "set-feature HEX... within TIME | event NAME [BYTE...] within TIME",
     DirectiveKind::kStep, Expect},
};

// --- swipe: a card read, given by meaning (SwipeReports sends it).

// The data items by their field names, in item-type order.
constexpr std::string_view kItemFields[protocol::kCardDataItemCount] = {
    "track1", "track2", "track3", "enc-track1", "enc-track2", "enc-track3", "sigil"};

void CheckItemSize(const ParseContext& context, const Token& at, size_t size,
                   std::string_view field) {
  if (size > context.ItemCapacity()) {
    throw LineError(at, std::string(field) + " is " + std::to_string(size) +
                            " bytes; a card-data item holds at most " +
                            std::to_string(context.ItemCapacity()) + " on this terminal");
  }
}

// Reads one FIELD VALUE pair (card-status takes three values) from args[i]; returns the
// index past it.
size_t ReadSwipeField(const ParseContext& context, std::span<const Token> args, size_t i,
                      SwipeFields& fields) {
  const Token& name = args[i];
  auto value = [&](size_t k) -> const Token& {
    if (i + k >= args.size()) {
      throw LineError::AtEnd(args.back(),
                             "swipe: " + QuoteForMessage(name.text) + " needs a value");
    }
    return args[i + k];
  };
  const auto* field = std::find(std::begin(kItemFields), std::end(kItemFields), name.text);
  if (field != std::end(kItemFields) && !name.quoted) {
    const size_t index = static_cast<size_t>(field - std::begin(kItemFields));
    const bool text =
        protocol::IsTrackTextItem(static_cast<uint8_t>(protocol::kCardItemTrack1 + index));
    fields.items[index] = text ? ReadCardText(value(1), name.text) : ReadHex(value(1), name.text);
    CheckItemSize(context, value(1), fields.items[index].size(), name.text);
    return i + 2;
  }
  if (name.text == "ksn") {
    fields.ksn = FixedHex(value(1), protocol::kKsnLength, "KSN");
    return i + 2;
  }
  if (name.text == "sigil-status") {
    fields.sigil_status =
        static_cast<uint32_t>(ReadInteger(value(1), 0, protocol::kSigilStatusMax, "sigil status"));
    return i + 2;
  }
  if (name.text == "error") {
    fields.error = static_cast<uint8_t>(ReadInteger(value(1), 1, 255, "error status"));
    return i + 2;
  }
  if (name.text == "card-status") {
    fields.card_status = {ReadByte(value(1), "operation status"), ReadByte(value(2), "card status"),
                          ReadByte(value(3), "card type")};
    return i + 4;
  }
  throw LineError(name, "swipe: unknown field '" + QuoteForMessage(name.text) +
                            "' (fields: track1 track2 track3 enc-track1 enc-track2 "
                            "enc-track3 sigil ksn sigil-status error card-status)");
}

void Swipe(ParseContext& context, const Line& line) {
  SwipeFields fields;
  std::vector<std::string> seen;
  std::span<const Token> args = line.args();
  for (size_t i = 0; i < args.size();) {
    if (std::find(seen.begin(), seen.end(), args[i].text) != seen.end()) {
      throw LineError(args[i], "swipe: " + QuoteForMessage(args[i].text) + " is given twice");
    }
    seen.push_back(args[i].text);
    i = ReadSwipeField(context, args, i, fields);
  }
  AddReports(context, line, SwipeReports(fields, context.scenario.terminal));
}

}  // namespace

std::span<const DirectiveSpec> StepDirectives() { return kDirectives; }

}  // namespace usborva::scenario
