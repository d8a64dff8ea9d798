// SPDX-License-Identifier: Apache-2.0
// A scenario back into text: the terminal description line by line, from the default
// terminal the parser starts with to this one, then the steps with their waits.
#include "usborva/scenario_writer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "scenario/report_lines.h"
#include "scenario/scenario_text.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/protocol.h"

namespace usborva::scenario {
namespace {

using Bytes = std::vector<uint8_t>;

// The firmware version is indexed string 4; `firmware` is its directive.
constexpr uint32_t kFirmwareIndex = 4;

std::string Descriptor(const std::optional<std::u16string>& text) {
  return text ? QuoteHostText(*text) : "none";
}

// An identity item by the directive a person would write, where it reads back the same.
std::optional<std::string> ItemByName(uint8_t item, const Bytes& data) {
  std::string_view name;
  bool terminated = false;
  switch (item) {
    case protocol::kInfoAuthLabel:
      name = "auth-label";
      break;
    case protocol::kInfoPINKSN:
      name = "pin-ksn";
      break;
    case protocol::kInfoMSRKSN:
      name = "msr-ksn";
      break;
    case protocol::kInfoPINLabel:
      name = "pin-label";
      terminated = true;
      break;
    case protocol::kInfoMSRLabel:
      name = "msr-label";
      terminated = true;
      break;
    case protocol::kInfoBitmapCRC:
      if (data.empty()) return std::nullopt;
      return "bitmap-crc " + HexText(data);
    default:
      return std::nullopt;
  }
  std::span<const uint8_t> text(data);
  if (terminated) {
    if (data.empty() || data.back() != 0) return std::nullopt;
    text = text.first(data.size() - 1);
  }
  std::optional<std::string> quoted = QuoteCardText(text);
  if (!quoted) return std::nullopt;
  return std::string(name) + " " + *quoted;
}

void WriteStrings(const sim::InterfaceSpec& terminal, std::string& out) {
  out += "serial " + Descriptor(terminal.serial_number) + "\n";
  out += "product-string " + Descriptor(terminal.product_string) + "\n";
  if (!terminal.indexed_strings.contains(kFirmwareIndex)) out += "firmware none\n";
  for (const auto& [index, text] : terminal.indexed_strings) {
    const std::string value = QuoteHostText(text);
    out += index == kFirmwareIndex ? "firmware " + value + "\n"
                                   : "string " + std::to_string(index) + " " + value + "\n";
  }
  // The default terminal has no other string, so nothing else needs `none`.
}

std::string ItemLine(uint8_t item, const Bytes& data) {
  return ItemByName(item, data).value_or("info-item " + HexByte(item) + " " + HexText(data)) + "\n";
}

std::string FeatureReportLine(uint8_t id, const Bytes& bytes) {
  // The directive puts the ID in front of the bytes it is given.
  const std::span<const uint8_t> rest =
      bytes.empty() ? std::span<const uint8_t>() : std::span<const uint8_t>(bytes).subspan(1);
  return "feature-report " + HexByte(id) + " " + HexText(rest) + "\n";
}

// A rule's change to the terminal's answers, as the description directive that makes it.
std::string ModelChangeLine(const ModelChange& change) {
  switch (change.part) {
    case ModelChange::Part::kItem:
      return change.bytes ? ItemLine(change.id, *change.bytes)
                          : "info-item " + HexByte(change.id) + " none\n";
    case ModelChange::Part::kConfig:
      return "config " + HexText(change.bytes.value_or(Bytes())) + "\n";
    case ModelChange::Part::kFeatureReport:
      return FeatureReportLine(change.id, change.bytes.value_or(Bytes()));
  }
  return "";
}

// Each byte of a pattern as two hex digits, `??` where any byte goes.
std::string PatternText(const BytePattern& pattern) {
  std::string text;
  for (const std::optional<uint8_t>& byte : pattern) {
    if (!text.empty()) text += ' ';
    text += byte ? HexText(std::span<const uint8_t>(&*byte, 1)) : "??";
  }
  return text;
}

std::string ExpectLine(const Expectation& expect) {
  std::string line = "expect ";
  if (expect.kind == Expectation::Kind::kSetFeature) {
    line += "set-feature " + PatternText(expect.pattern);
  } else {
    line += "event " + std::string(EventName(expect.event));
    for (const std::optional<uint8_t>& byte : expect.pattern) {
      line += byte ? " " + std::to_string(*byte) : " ??";
    }
  }
  return line + " within " + DurationText(expect.within) + "\n";
}

void WriteModel(const sim::TerminalModel& model, std::string& out) {
  for (const auto& [item, data] : model.items) out += ItemLine(item, data);
  for (const auto& [item, data] : sim::TerminalModel::Default().items) {
    if (!model.items.contains(item)) out += "info-item " + HexByte(item) + " none\n";
  }
  out += "config " + HexText(model.config) + "\n";
  for (const auto& [id, bytes] : model.fixed_reports) out += FeatureReportLine(id, bytes);
}

void WriteDescription(const Scenario& scenario, std::string& out) {
  const sim::InterfaceSpec& terminal = scenario.terminal;
  out += "vendor " + HexNumber(terminal.vendor_id) + "\n";
  out += "product " + HexNumber(terminal.product_id) + "\n";
  out += "version " + HexNumber(terminal.version_number) + "\n";
  out += "usage-page " + HexNumber(terminal.usage_page) + "\n";
  out += "usage " + HexNumber(terminal.usage) + "\n";
  out += "input-length " + std::to_string(terminal.input_report_length) + "\n";
  out += "feature-length " + std::to_string(terminal.feature_report_length) + "\n";
  if (!terminal.path.empty()) out += "path " + QuoteText(terminal.path) + "\n";
  WriteStrings(terminal, out);
  WriteModel(terminal.terminal, out);
  if (scenario.config_text) out += "config-file " + QuoteText(*scenario.config_text) + "\n";
  for (sim::Fault fault : scenario.faults) out += "fault " + std::string(FaultName(fault)) + "\n";
  if (!scenario.starts_plugged) out += "unplugged\n";
  out += "queue " + std::string(sim::QueuePolicyName(terminal.queue_policy)) + "\n";
}

class StepWriter {
 public:
  StepWriter(const Scenario& scenario, const std::vector<Step>& steps,
             const std::map<size_t, std::string>& comments, std::string& out)
      : steps_(steps),
        comments_(comments),
        input_length_(
            static_cast<size_t>(std::max<int16_t>(scenario.terminal.input_report_length, 1))),
        out_(out) {}

  void Write() {
    for (size_t i = 0; i < steps_.size();) {
      const Step& step = steps_[i];
      if (step.kind == StepKind::kWait) {
        pending_ += step.wait;
        ++i;
        continue;
      }
      FlushWait();
      // A fault before any timed line would describe the terminal from the start instead.
      if (step.kind == StepKind::kFault && !timed_) out_ += "wait 0ms\n";
      timed_ = true;
      if (auto comment = comments_.find(i); comment != comments_.end()) {
        out_ += CommentLines(comment->second);
      }
      i = step.kind == StepKind::kReports ? WriteReports(i) : WriteOther(i);
    }
    FlushWait();
  }

 private:
  void FlushWait() {
    while (pending_ > Milliseconds(0)) {
      const Milliseconds part = std::min(pending_, kMaxWait);
      out_ += "wait " + DurationText(part) + "\n";
      pending_ -= part;
    }
  }

  // The reports of this step and of the report steps right after it (zero waits between
  // them take no time), written together so that a swipe spread over them is one line.
  size_t WriteReports(size_t first) {
    std::vector<sim::Report> reports;
    size_t i = first;
    for (; i < steps_.size(); ++i) {
      const Step& step = steps_[i];
      if (step.kind == StepKind::kWait && step.wait == Milliseconds(0)) continue;
      if (step.kind != StepKind::kReports || (i != first && comments_.contains(i))) break;
      reports.insert(reports.end(), step.reports.begin(), step.reports.end());
    }
    out_ += ReportLines(reports, input_length_);
    return i;
  }

  size_t WriteOther(size_t i) {
    const Step& step = steps_[i];
    switch (step.kind) {
      case StepKind::kUnplug:
        out_ += "unplug\n";
        break;
      case StepKind::kPlug:
        out_ += "plug\n";
        break;
      case StepKind::kFault:
        out_ +=
            "fault " + std::string(FaultName(step.fault)) + (step.fault_on ? " on\n" : " off\n");
        break;
      case StepKind::kNote:
        out_ += "note " + QuoteText(step.text) + "\n";
        break;
      case StepKind::kModel:
        out_ += ModelChangeLine(step.model);
        break;
      case StepKind::kExpect:
        out_ += ExpectLine(step.expect);
        break;
      case StepKind::kWait:
      case StepKind::kReports:
        break;
    }
    return i + 1;
  }

  const std::vector<Step>& steps_;
  const std::map<size_t, std::string>& comments_;
  size_t input_length_;
  std::string& out_;
  Milliseconds pending_{0};
  bool timed_ = false;
};

}  // namespace

std::string WriteScenario(const Scenario& scenario, const WriteOptions& options) {
  std::string out;
  if (!options.header.empty()) out += CommentLines(options.header) + "\n";
  WriteDescription(scenario, out);
  // Rules describe the terminal, so they close the description; their bodies are steps.
  static const std::map<size_t, std::string> kNoComments;
  for (const Rule& rule : scenario.rules) {
    out += "on set-feature " + PatternText(rule.pattern) + "\n";
    StepWriter(scenario, rule.steps, kNoComments, out).Write();
    out += "end\n";
  }
  std::string steps;
  StepWriter(scenario, scenario.steps, options.step_comments, steps).Write();
  if (!steps.empty()) out += "\n" + steps;
  return out;
}

}  // namespace usborva::scenario
