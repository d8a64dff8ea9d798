// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_RECORDING_BUILDER_H_
#define USBORVA_TOOLS_RECORDING_BUILDER_H_

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "usborva/hid_system.h"
#include "usborva/scenario.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::cli {

// What the terminal looked like when the control first took it.
struct RecordedTerminal {
  std::string path;
  std::optional<HidAttributes> attributes;
  std::optional<HidCaps> caps;
  bool read_write = true;  // false: the control could open it for queries only
};

// Which of the terminal's strings.
enum class RecordedString { kSerialNumber, kProduct, kIndexed };

// Turns what the control saw of a terminal into a scenario that makes the simulated
// terminal do the same to the same host: the terminal's description from its identity and
// the answers it gave, and each input report, loss and return at a time chosen so that
// the host, polling as it did, meets it at the same poll.
//
// Times are on the loop's clock, since the port opened. A report is seen only when the
// host collects it, one poll after it arrived at the latest: it is placed at the host's
// previous look at the terminal (the report came after that look). Reports the host takes
// straight from the driver's queue, one per poll, are placed with the report before them
// as one burst (a swipe comes out as the swipe it was), at most as many as the queue keeps.
// A loss is placed at the look before the failed read, a return at the look before the
// open that found the terminal again. Reports the driver dropped (counted by the simulated
// machine) come back as stand-ins the replay's queue drops in the same place.
class RecordingBuilder {
 public:
  using Ms = std::chrono::milliseconds;

  struct Options {
    bool reveal = false;  // keep card data as read; else as recording_sanitizer.h says
    // The driver's queue: how many reports it keeps, and which it drops when full.
    sim::QueuePolicy queue_policy = sim::kDefaultQueuePolicy;
  };
  explicit RecordingBuilder(Options options) : options_(options) {}

  // The queue of the terminal being recorded (a simulated one's own; a real one's is the
  // platform's, the default).
  void set_queue_policy(sim::QueuePolicy policy) { options_.queue_policy = policy; }

  // --- What the terminal is.
  void Terminal(const RecordedTerminal& terminal);
  // A string the control asked for: its text, or nullopt when the terminal has none.
  void String(RecordedString which, uint32_t index, std::optional<std::u16string> text);
  // A configuration value the control read: the answer and the default it passed.
  void ConfigValue(const std::string& section, const std::string& key,
                   const std::string& default_value, const std::string& answer);
  // The control's feature exchanges with the terminal; error: the last error of a failure.
  void FeatureSet(Ms now, std::span<const uint8_t> sent, bool ok, uint32_t error);
  void FeatureGet(Ms now, std::span<const uint8_t> answer, bool ok, uint32_t error);

  // --- What happens over time.
  // The port is open: faults seen so far describe the terminal from the start.
  void Start();
  // The control asked the HID stack something at now (its polls).
  void Look(Ms now);
  // Look(now), then the time of the look before it: what came to light at now came after.
  Ms LookBefore(Ms now);
  // A report the control took: at_once from the driver's queue, else into a read that
  // waited for it. dropped: the driver's count of dropped reports so far.
  void Report(Ms now, std::span<const uint8_t> report, bool at_once, uint64_t dropped);
  // A read went out and waits for a report.
  void ReadWaiting(Ms now);
  // A read failed: starting it (ReadFile) or collecting it.
  void ReadFailed(Ms now, uint32_t error, bool starting);
  // The control holds the terminal again, through an open made after the look opened_after.
  void Reconnected(Ms opened_after);
  // The control could not reset its read event: polling halts.
  void ResetEventFailed(Ms now);
  void Note(Ms now, const std::string& text);

  // The scenario, ending at end.
  scenario::Scenario Finish(Ms end);
  // Comments for the writer, by step index of the last Finish.
  const std::map<size_t, std::string>& comments() const { return comments_; }
  // Set when the recording grew past what a scenario may hold and stopped there: the time.
  std::optional<Ms> stopped_at() const { return stopped_at_; }

 private:
  struct Event {
    Ms at{0};
    scenario::Step step;
    std::string comment;
  };
  struct Burst {
    size_t event = 0;      // the event its queued reports go into
    size_t queued = 0;     // reports of the burst that wait in the replay's queue
    size_t stand_ins = 0;  // dropped reports stood in for
    // Dropped reports of a queue that loses the newest: stood in for after the burst's
    // kept reports, when it closes, so the replay's full queue drops them in turn.
    uint64_t newest_dropped = 0;
  };
  size_t QueueDepth() const { return sim::InputQueueDepth(options_.queue_policy); }
  bool DropsNewest() const { return options_.queue_policy == sim::QueuePolicy::kLinux; }

  Ms Place(Ms at) const { return std::max(at, last_at_); }
  // Whether the recording may grow by so many report bytes and so much text; else it
  // stops here for good.
  bool Room(size_t report_bytes, size_t text_bytes);
  size_t AddEvent(Ms at, scenario::Step step, std::string comment = {});
  size_t AddReports(Ms at, std::vector<sim::Report> reports, std::string comment = {});
  void AddFault(Ms at, sim::Fault fault, bool on);
  void SwitchFault(Ms now, sim::Fault fault, bool on);
  void OpenBurst(Ms at);
  void StandIns(uint64_t count);
  void CloseBurst(bool discarded);
  sim::Report Prepared(std::span<const uint8_t> bytes) const;
  size_t InputLength() const;
  sim::InterfaceSpec Spec() const;
  void AddAnswers(sim::TerminalModel& model) const;
  std::optional<std::string> ConfigText() const;

  Options options_;
  // The terminal.
  std::optional<RecordedTerminal> terminal_;
  std::map<std::pair<RecordedString, uint32_t>, std::optional<std::u16string>> strings_;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> config_;
  uint8_t selected_item_ = 0;  // the item a Get of 0x0E answers, as the terminal's model
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> info_answers_;  // by item, first each
  std::map<uint8_t, std::vector<uint8_t>> other_answers_;               // by report ID
  std::set<sim::Fault> faults_on_;
  std::vector<sim::Fault> start_faults_;
  // The timeline.
  bool started_ = false;
  Ms current_look_{0};
  Ms previous_look_{0};
  Ms last_at_{0};
  std::vector<Event> events_;
  std::optional<Burst> burst_;
  uint64_t dropped_seen_ = 0;
  bool plugged_ = true;
  size_t report_bytes_ = 0;
  size_t text_bytes_ = 0;
  std::optional<Ms> stopped_at_;
  std::map<size_t, std::string> comments_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_RECORDING_BUILDER_H_
