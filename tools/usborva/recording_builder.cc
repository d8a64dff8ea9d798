// SPDX-License-Identifier: Apache-2.0
#include "recording_builder.h"

#include <algorithm>

#include "recording_sanitizer.h"
#include "usborva/hex_digits.h"
#include "usborva/protocol.h"

namespace usborva::cli {
namespace {

using Bytes = std::vector<uint8_t>;

// Room kept below the file limit for the description and the header.
constexpr size_t kTextMargin = 64 * 1024;
// The text a line takes at most: a report as hex, a note with every byte escaped.
// A report line leaves its trailing zero bytes out.
size_t ReportLineBytes(std::span<const uint8_t> report) {
  size_t end = report.size();
  while (end > 1 && report[end - 1] == 0) --end;
  return 16 + 2 * end;
}
size_t NoteLineBytes(size_t bytes) { return 16 + 4 * bytes; }

// The bytes up to the last non-zero one (the ID at least): what the simulated terminal
// zero-fills back to the feature length.
Bytes Trimmed(const Bytes& bytes) {
  size_t end = bytes.size();
  while (end > 1 && bytes[end - 1] == 0) --end;
  return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(end));
}

// The data of a 0x0E answer as the model holds it: all n bytes the length byte counts,
// zeros for those the report had no room for.
Bytes InfoData(const Bytes& answer) {
  const size_t n =
      answer.size() > protocol::kInfoLengthOffset ? answer[protocol::kInfoLengthOffset] : 0;
  Bytes data(n, 0);
  for (size_t i = 0; i < n && protocol::kInfoDataOffset + i < answer.size(); ++i) {
    data[i] = answer[protocol::kInfoDataOffset + i];
  }
  return data;
}

std::string CutText(std::string text) {
  if (text.size() <= scenario::kMaxTextBytes) return text;
  size_t cut = scenario::kMaxTextBytes;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

int16_t Clamp(int16_t value, int16_t low) { return std::max(value, low); }

// The path the simulated machine gives its first terminal when a scenario names none: a
// recording of a simulated session need not name it either.
bool SimulatorsOwnPath(const std::string& path, const HidAttributes& ids) {
  const auto hex = [](uint16_t id) {
    std::string digits;
    for (int shift = 12; shift >= 0; shift -= 4) digits += LowerHexDigit((id >> shift) & 0xF);
    return digits;
  };
  return path == "\\\\?\\hid#vid_" + hex(ids.VendorID) + "&pid_" + hex(ids.ProductID) + "#sim0";
}

}  // namespace

// --- What the terminal is.

void RecordingBuilder::Terminal(const RecordedTerminal& terminal) {
  if (!terminal_) terminal_ = terminal;
}

void RecordingBuilder::String(RecordedString which, uint32_t index,
                              std::optional<std::u16string> text) {
  strings_.try_emplace({which, index}, std::move(text));
}

void RecordingBuilder::ConfigValue(const std::string& section, const std::string& key,
                                   const std::string& default_value, const std::string& answer) {
  // A key the file does not hold answers the default: nothing to write for it.
  if (answer == default_value) return;
  auto it = std::find_if(config_.begin(), config_.end(),
                         [&](const auto& entry) { return entry.first == section; });
  if (it == config_.end()) it = config_.insert(config_.end(), {section, {}});
  for (const auto& [known, value] : it->second) {
    if (known == key) return;
  }
  it->second.emplace_back(key, answer);
}

void RecordingBuilder::FeatureSet(Ms now, std::span<const uint8_t> sent, bool ok, uint32_t error) {
  if (!ok) {
    if (error == kErrorGenFailure) SwitchFault(now, sim::Fault::kSetFeature, true);
    return;
  }
  SwitchFault(now, sim::Fault::kSetFeature, false);
  if (sent.size() > protocol::kInfoItemOffset && sent[0] == protocol::kFeatureInfo) {
    selected_item_ = sent[protocol::kInfoItemOffset];
  }
}

void RecordingBuilder::FeatureGet(Ms now, std::span<const uint8_t> answer, bool ok,
                                  uint32_t error) {
  if (!ok) {
    if (error == kErrorGenFailure) SwitchFault(now, sim::Fault::kGetFeature, true);
    return;
  }
  SwitchFault(now, sim::Fault::kGetFeature, false);
  if (answer.empty()) return;
  if (terminal_ && terminal_->caps && terminal_->caps->FeatureReportByteLength > 0) {
    answer = answer.first(
        std::min(answer.size(), static_cast<size_t>(terminal_->caps->FeatureReportByteLength)));
  }
  Bytes bytes(answer.begin(), answer.end());
  if (bytes[0] != protocol::kFeatureInfo) {
    other_answers_.try_emplace(bytes[0], std::move(bytes));
    return;
  }
  for (const auto& [item, known] : info_answers_) {
    if (item == selected_item_) return;
  }
  info_answers_.emplace_back(selected_item_, std::move(bytes));
}

// --- What happens over time.

void RecordingBuilder::Start() {
  if (started_) return;
  started_ = true;
  start_faults_.assign(faults_on_.begin(), faults_on_.end());
}

void RecordingBuilder::Look(Ms now) {
  if (now <= current_look_) return;
  previous_look_ = current_look_;
  current_look_ = now;
}

RecordingBuilder::Ms RecordingBuilder::LookBefore(Ms now) {
  Look(now);
  return now == current_look_ ? previous_look_ : current_look_;
}

void RecordingBuilder::Report(Ms now, std::span<const uint8_t> bytes, bool at_once,
                              uint64_t dropped) {
  const Ms before = LookBefore(now);
  SwitchFault(now, sim::Fault::kReadFile, false);
  sim::Report report = Prepared(bytes);
  const uint64_t stand_ins = dropped > dropped_seen_ ? dropped - dropped_seen_ : 0;
  dropped_seen_ = std::max(dropped_seen_, dropped);
  if (!Room(report.size() * (1 + stand_ins), ReportLineBytes(report) + 32 * stand_ins)) return;
  if (!at_once) {
    // It went into a read that waited, so nothing was queued: a burst starts with it.
    CloseBurst(false);
    OpenBurst(Place(before));
    events_[burst_->event].step.reports.push_back(std::move(report));
    // A queue that drops the newest counts the report a read holds among those it keeps.
    if (DropsNewest()) burst_->queued = 1;
    if (stand_ins > 0)
      DropsNewest() ? void(burst_->newest_dropped += stand_ins) : StandIns(stand_ins);
    return;
  }
  if (stand_ins > 0 && DropsNewest()) {
    // The queue was full when they came: they belong to the burst under way.
    if (!burst_ || burst_->queued >= QueueDepth()) {
      CloseBurst(false);
      OpenBurst(Place(before));
    }
    burst_->newest_dropped += stand_ins;
  } else if (stand_ins > 0) {
    CloseBurst(false);
    OpenBurst(Place(before));
    StandIns(stand_ins);
  } else if (!burst_ || burst_->queued >= QueueDepth()) {
    CloseBurst(false);
    OpenBurst(Place(before));
  }
  events_[burst_->event].step.reports.push_back(std::move(report));
  ++burst_->queued;
}

void RecordingBuilder::ReadWaiting(Ms now) {
  Look(now);
  SwitchFault(now, sim::Fault::kReadFile, false);
}

void RecordingBuilder::ReadFailed(Ms now, uint32_t error, bool starting) {
  if (starting && error == kErrorGenFailure) return SwitchFault(now, sim::Fault::kReadFile, true);
  const Ms before = LookBefore(now);
  if (error != kErrorDeviceNotConnected || !plugged_) return;
  CloseBurst(true);
  scenario::Step step;
  step.kind = scenario::StepKind::kUnplug;
  AddEvent(Place(before), std::move(step));
  plugged_ = false;
}

void RecordingBuilder::Reconnected(Ms opened_after) {
  if (plugged_) return;
  CloseBurst(false);
  scenario::Step step;
  step.kind = scenario::StepKind::kPlug;
  AddEvent(Place(opened_after), std::move(step));
  plugged_ = true;
}

void RecordingBuilder::ResetEventFailed(Ms now) { SwitchFault(now, sim::Fault::kResetEvent, true); }

void RecordingBuilder::Note(Ms now, const std::string& text) {
  scenario::Step step;
  step.kind = scenario::StepKind::kNote;
  step.text = CutText(options_.reveal ? text : SanitizeNote(text));
  if (!started_) now = Ms(0);
  AddEvent(Place(now), std::move(step));
}

scenario::Scenario RecordingBuilder::Finish(Ms end) {
  CloseBurst(false);
  scenario::Scenario recorded;
  recorded.source = "recording";
  recorded.terminal = Spec();
  recorded.config_text = ConfigText();
  recorded.faults =
      started_ ? start_faults_ : std::vector<sim::Fault>(faults_on_.begin(), faults_on_.end());
  comments_.clear();
  Ms at{0};
  for (const Event& event : events_) {
    if (event.step.kind == scenario::StepKind::kReports && event.step.reports.empty()) continue;
    if (event.at > at) {
      scenario::Step wait;
      wait.wait = event.at - at;
      recorded.steps.push_back(std::move(wait));
      at = event.at;
    }
    if (!event.comment.empty()) comments_[recorded.steps.size()] = event.comment;
    recorded.steps.push_back(event.step);
  }
  if (stopped_at_) end = *stopped_at_;
  end = std::min(end, scenario::kMaxLength);
  if (end > at) {
    scenario::Step wait;
    wait.wait = end - at;
    recorded.steps.push_back(std::move(wait));
  }
  return recorded;
}

// --- The timeline's pieces.

bool RecordingBuilder::Room(size_t report_bytes, size_t text_bytes) {
  if (stopped_at_) return false;
  // Every event may need a wait before it.
  const bool room = events_.size() + 2 < scenario::kMaxSteps / 2 - 16 &&
                    report_bytes_ + report_bytes <= scenario::kMaxReportBytes &&
                    text_bytes_ + text_bytes <= scenario::kMaxScenarioBytes - kTextMargin &&
                    last_at_ < scenario::kMaxLength;
  if (!room) stopped_at_ = last_at_;
  return room;
}

size_t RecordingBuilder::AddEvent(Ms at, scenario::Step step, std::string comment) {
  const size_t text = step.kind == scenario::StepKind::kNote ? NoteLineBytes(step.text.size()) : 32;
  if (!Room(0, text)) return events_.size();
  text_bytes_ += text;
  last_at_ = at;
  events_.push_back(Event{at, std::move(step), std::move(comment)});
  return events_.size() - 1;
}

size_t RecordingBuilder::AddReports(Ms at, std::vector<sim::Report> reports, std::string comment) {
  for (const sim::Report& report : reports) {
    report_bytes_ += report.size();
    text_bytes_ += ReportLineBytes(report);
  }
  scenario::Step step;
  step.kind = scenario::StepKind::kReports;
  step.reports = std::move(reports);
  last_at_ = at;
  events_.push_back(Event{at, std::move(step), std::move(comment)});
  return events_.size() - 1;
}

void RecordingBuilder::AddFault(Ms at, sim::Fault fault, bool on) {
  scenario::Step step;
  step.kind = scenario::StepKind::kFault;
  step.fault = fault;
  step.fault_on = on;
  AddEvent(at, std::move(step));
}

void RecordingBuilder::SwitchFault(Ms now, sim::Fault fault, bool on) {
  if (faults_on_.contains(fault) == on) return;
  if (on) {
    faults_on_.insert(fault);
  } else {
    faults_on_.erase(fault);
  }
  // Before the port is open the state so far describes the terminal from the start.
  if (started_) AddFault(Place(LookBefore(now)), fault, on);
}

void RecordingBuilder::OpenBurst(Ms at) { burst_ = Burst{AddReports(at, {}), 0, 0}; }

// The reports the driver dropped, as stand-ins queued with the burst. A queue that drops
// the oldest gets them first, and the reports it keeps after them push them out; one that
// drops the newest gets them last, when it is full, and refuses them. Either way the
// replay drops them as the driver dropped the originals.
void RecordingBuilder::StandIns(uint64_t count) {
  const Ms at = events_[burst_->event].at;
  AddReports(at, std::vector<sim::Report>(count, sim::Report(InputLength(), 0)),
             "the driver dropped " + std::to_string(count) + (count == 1 ? " report" : " reports") +
                 " here (its queue was full): stand-ins, dropped again on replay");
  burst_->stand_ins += count;
  burst_->event = AddReports(at, {});
}

// A burst whose queue the terminal's loss emptied before the replay's could overflow gets
// stand-ins to fill it, so its stand-ins are dropped all the same; the loss empties the
// replay's queue of those as well.
void RecordingBuilder::CloseBurst(bool discarded) {
  if (!burst_) return;
  const bool dropped = burst_->stand_ins > 0 || burst_->newest_dropped > 0;
  if (discarded && dropped && burst_->queued < QueueDepth()) {
    std::vector<sim::Report>& reports = events_[burst_->event].step.reports;
    const size_t missing = QueueDepth() - burst_->queued;
    reports.insert(reports.end(), missing, sim::Report(InputLength(), 0));
    report_bytes_ += missing * InputLength();
    text_bytes_ += missing * ReportLineBytes(reports.back());
    burst_->queued = QueueDepth();
  }
  if (burst_->newest_dropped > 0) StandIns(burst_->newest_dropped);
  burst_.reset();
}

size_t RecordingBuilder::InputLength() const {
  if (terminal_ && terminal_->caps && terminal_->caps->InputReportByteLength > 0) {
    return static_cast<size_t>(terminal_->caps->InputReportByteLength);
  }
  return static_cast<size_t>(sim::kDefaultInputReportLength);
}

sim::Report RecordingBuilder::Prepared(std::span<const uint8_t> bytes) const {
  sim::Report report(bytes.begin(),
                     bytes.begin() + static_cast<ptrdiff_t>(std::min(bytes.size(), InputLength())));
  report.resize(InputLength(), 0);
  if (!options_.reveal) SanitizeReport(report);
  return report;
}

// --- The description.

sim::InterfaceSpec RecordingBuilder::Spec() const {
  sim::InterfaceSpec spec;
  spec.queue_policy = options_.queue_policy;
  if (terminal_) {
    if (terminal_->path.size() <= scenario::kMaxTextBytes) spec.path = terminal_->path;
    if (const auto& ids = terminal_->attributes) {
      spec.vendor_id = ids->VendorID;
      spec.product_id = ids->ProductID;
      spec.version_number = ids->VersionNumber;
      if (SimulatorsOwnPath(spec.path, *ids)) spec.path.clear();
    }
    if (const auto& caps = terminal_->caps) {
      spec.usage_page = caps->UsagePage;
      spec.usage = caps->Usage;
      spec.input_report_length = static_cast<int16_t>(InputLength());
      spec.feature_report_length = Clamp(caps->FeatureReportByteLength, 0);
    }
  }
  for (const auto& [key, text] : strings_) {
    const auto& [which, index] = key;
    if (which == RecordedString::kSerialNumber) spec.serial_number = text;
    if (which == RecordedString::kProduct) spec.product_string = text;
    if (which != RecordedString::kIndexed || index > 255) continue;
    if (text) {
      spec.indexed_strings[index] = *text;
    } else {
      spec.indexed_strings.erase(index);
    }
  }
  AddAnswers(spec.terminal);
  return spec;
}

// The identity answers: as the model's items where the model gives back the very reports,
// else as whole feature reports.
void RecordingBuilder::AddAnswers(sim::TerminalModel& model) const {
  model.items.clear();
  bool modelled = true;
  for (const auto& [item, answer] : info_answers_) {
    Bytes data = InfoData(answer);
    Bytes rebuilt(answer.size(), 0);
    protocol::WriteInfoAnswer(rebuilt, item, data);
    modelled = modelled && rebuilt == answer;
    model.items[item] = std::move(data);
  }
  const bool one_answer =
      std::all_of(info_answers_.begin(), info_answers_.end(),
                  [&](const auto& entry) { return entry.second == info_answers_[0].second; });
  if (!modelled && one_answer) {
    model.fixed_reports[protocol::kFeatureInfo] = Trimmed(info_answers_[0].second);
  }
  for (const auto& [id, answer] : other_answers_) {
    if (id == protocol::kFeatureConfig && answer.size() > protocol::kConfigLength) {
      std::array<uint8_t, protocol::kConfigLength> config{};
      std::copy_n(answer.begin() + protocol::kConfigOffset, protocol::kConfigLength,
                  config.begin());
      Bytes rebuilt(answer.size(), 0);
      protocol::WriteConfigAnswer(rebuilt, config);
      if (rebuilt == answer) {
        model.config = config;
        continue;
      }
    }
    model.fixed_reports[id] = Trimmed(answer);
  }
}

std::optional<std::string> RecordingBuilder::ConfigText() const {
  if (config_.empty()) return std::nullopt;
  std::string text;
  for (const auto& [section, values] : config_) {
    text += "[" + section + "]\n";
    for (const auto& [key, value] : values) text += key + "=" + value + "\n";
  }
  return text;
}

}  // namespace usborva::cli
