// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_H_
#define USBORVA_SCENARIO_H_

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/container.h"
#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/protocol.h"
#include "usborva/simulated_hid_system.h"

/// Scenarios are small text files that describe a simulated terminal and what it does over
/// time: identity and report lengths first, with the rules by which it answers the host's
/// feature reports, then timed input (status reports, swipes, PIN and key responses, raw
/// reports, unplug and plug, and expectations of what the host does). docs/scenarios.md is
/// the reference.
///
/// A scenario is parsed once into reports ready to queue, so a bad file is refused before
/// anything runs, and the reports a swipe expands into can be inspected.
namespace usborva::scenario {

using Milliseconds = std::chrono::milliseconds;  ///< Scenario time.

/// A scenario that cannot be read: where and why. what() is "source:line:column: message";
/// line and column are 1-based (column in characters), 0 when the error has no place (a
/// file that cannot be opened).
class USBORVA_EXPORT ScenarioError : public std::runtime_error {
 public:
  /// An error at line and column of source (0, 0: no place).
  ScenarioError(std::string source, int line, int column, std::string message);

  const std::string& source() const noexcept { return source_; }    ///< The file name.
  int line() const noexcept { return line_; }                       ///< 1-based; 0: no place.
  int column() const noexcept { return column_; }                   ///< 1-based, in characters.
  const std::string& message() const noexcept { return message_; }  ///< Why, without place.

 private:
  std::string source_;
  int line_;
  int column_;
  std::string message_;
};

/// Leading bytes to match, first byte first: each entry matches one byte, and an empty entry
/// (`??` in a scenario) matches any byte.
using BytePattern = std::vector<std::optional<uint8_t>>;

/// Whether bytes begin with what pattern describes. A pattern longer than bytes never
/// matches; an empty one matches anything.
USBORVA_EXPORT bool MatchesPattern(const BytePattern& pattern, std::span<const uint8_t> bytes);

/// What a step does.
enum class StepKind {
  kWait,     ///< wait: nothing happens for `wait`
  kReports,  ///< the terminal sends `reports`, in order
  kUnplug,   ///< the terminal is pulled out
  kPlug,     ///< the terminal is plugged back in
  kFault,    ///< a simulated fault is switched on or off
  kNote,     ///< `text` is shown to whoever watches the run
  kModel,    ///< the terminal's answers to GetFeatureReport change (`model`; rules only)
  kExpect,   ///< the timeline waits for what `expect` describes, or fails it
};

/// A change to the terminal's answers to GetFeatureReport, as a rule makes it.
struct USBORVA_EXPORT ModelChange {
  /// Which part of the terminal model changes.
  enum class Part {
    kItem,           ///< a 0x0E identity item: `id` is the item number
    kConfig,         ///< the eight configuration bytes report 0x09 answers
    kFeatureReport,  ///< a whole report answered for a Get of `id`
  };
  Part part = Part::kItem;  ///< What changes.
  uint8_t id = 0;           ///< kItem: the item number; kFeatureReport: the report ID.
  /// kItem: the item's data, or none for an item answered with length 0; kConfig: the eight
  /// bytes; kFeatureReport: the whole report, its ID first.
  std::optional<std::vector<uint8_t>> bytes;
};

/// Makes the change in model. A kConfig change of other than eight bytes changes nothing.
USBORVA_EXPORT void ApplyModelChange(const ModelChange& change, sim::TerminalModel& model);

/// What the timed input waits for at an `expect` line.
struct USBORVA_EXPORT Expectation {
  /// Whose action is awaited.
  enum class Kind {
    kSetFeature,  ///< a successful SetFeatureReport from the host whose bytes match
    kEvent,       ///< an event of the control, as the host sees it
  };
  Kind kind = Kind::kSetFeature;  ///< What is awaited.
  /// kSetFeature: the report's leading bytes, report ID first; kEvent: the event's leading
  /// byte arguments, in the order the event declares them (empty: any).
  BytePattern pattern;
  EventId event = EventId::kCardDataChanged;  ///< kEvent: which event.
  Milliseconds within{0};                     ///< How long the timeline waits at most.
  std::string text;  ///< The line after `expect`, as written ("set-feature 0A 01 within 2s").
};

/// One step of a scenario, as parsed; only the fields of its kind are used.
struct USBORVA_EXPORT Step {
  StepKind kind = StepKind::kWait;       ///< What the step does.
  Milliseconds wait{0};                  ///< kWait: how long.
  std::vector<sim::Report> reports;      ///< kReports: the input reports, in order.
  sim::Fault fault = sim::Fault::kOpen;  ///< kFault: which fault.
  bool fault_on = true;                  ///< kFault: switched on (true) or off.
  std::string text;                      ///< kNote: the note.
  ModelChange model;                     ///< kModel: the change.
  Expectation expect;                    ///< kExpect: what the timeline waits for.
  int line = 0;  ///< where the step was written (a step of a repeat block: its line)
};

/// A reaction rule of the terminal: each time the host sends a SetFeatureReport whose bytes
/// begin as `pattern` says, `steps` run, as a strand of their own with its own time.
struct USBORVA_EXPORT Rule {
  BytePattern pattern;      ///< The report's leading bytes, report ID first.
  std::vector<Step> steps;  ///< What the terminal does, repeat blocks expanded.
  int line = 0;             ///< Where its `on` line was written.
};

/// A parsed scenario: the terminal it describes and the steps it plays.
struct USBORVA_EXPORT Scenario {
  std::string source;                      ///< the file name, or the built-in scenario's name
  sim::InterfaceSpec terminal;             ///< with its identity answers
  bool starts_plugged = true;              ///< false: the terminal is absent until a plug
  std::optional<std::string> config_text;  ///< the configuration file's text; none: no file
  std::vector<sim::Fault> faults;          ///< on from the start
  std::vector<Step> steps;                 ///< in order, repeat blocks expanded
  std::vector<Rule> rules;                 ///< in file order, each run by every match

  /// How long the timed input runs at most: the sum of its waits and of its expectations'
  /// time limits (an expectation met early shortens the run). Rules add nothing.
  Milliseconds Length() const;
};

/// A card read by meaning: the fields of the `swipe` directive (docs/scenarios.md). What a
/// field leaves empty goes as an empty item.
struct USBORVA_EXPORT SwipeFields {
  /// The seven card-data items by type - 1: the three tracks as text (one byte per
  /// character), the three encrypted tracks and the sigil data as bytes.
  std::array<std::vector<uint8_t>, protocol::kCardDataItemCount> items;
  /// The closing item's KSN (10 bytes); empty: the terminal's MSR KSN when that is 20 hex
  /// digits, else zeros.
  std::vector<uint8_t> ksn;
  uint32_t sigil_status = 0;             ///< sent so that its hex text reads as the number
  uint8_t error = 0;                     ///< the closing item's status; not 0: a failed read
  std::array<uint8_t, 3> card_status{};  ///< the card-status report's three bytes
};

/// The reports a swipe sends on terminal, as a real one sends them: the card status, the
/// seven card-data items, then the closing item; each at the terminal's input report length.
/// The one home of the swipe's layout: the `swipe` directive and the interactive simulator
/// both send through here. Items longer than a report has room for are cut.
USBORVA_EXPORT std::vector<sim::Report> SwipeReports(const SwipeFields& fields,
                                                     const sim::InterfaceSpec& terminal);

/// The KSN an identity item of the terminal holds (sim::kInfoPINKSN, sim::kInfoMSRKSN) as
/// its 10 bytes, when the item is 20 hex digits; 10 zero bytes otherwise. What a swipe (the
/// MSR KSN) and a simulated PIN entry (the PIN KSN) send unless told otherwise.
USBORVA_EXPORT std::vector<uint8_t> TerminalKsn(const sim::TerminalModel& terminal, uint8_t item);

/// Bounds that keep a scenario (and a fuzzed or hostile one) small: reading costs time in
/// proportion to the text, and memory in proportion to these limits, whatever the text
/// asks for. A scenario past one is refused with an error naming the limit. The totals
/// count the steps as the repeat blocks expand them, the steps of a `repeat 0` included
/// (they are read before the block turns out to repeat nothing), and the steps of the
/// rules' bodies; the time limit counts the expectations' time limits as waits.
inline constexpr size_t kMaxScenarioBytes = 4u << 20;  ///< the text (the file)
inline constexpr size_t kMaxLineWords = 32768;         ///< a line's words, continued or not
inline constexpr size_t kMaxTextBytes = 4096;          ///< a note, a string or a path
inline constexpr size_t kMaxSteps = 100000;            ///< steps in all
inline constexpr int kMaxRepeat = 10000;               ///< the count of one repeat block
inline constexpr int kMaxRepeatDepth = 32;             ///< repeat blocks inside repeat blocks
inline constexpr Milliseconds kMaxWait = std::chrono::hours(24);        ///< one wait
inline constexpr Milliseconds kMaxLength = std::chrono::hours(24 * 7);  ///< all the waits
inline constexpr size_t kMaxReportBytes = 64u << 20;  ///< all the reports together
inline constexpr size_t kMaxNoteBytes = 4u << 20;     ///< all the notes together
inline constexpr size_t kMaxRules = 1000;             ///< `on` blocks in one scenario
/// Runs of rules under way at once; a match past it does not run (Player::rule_runs_refused).
inline constexpr size_t kMaxRuleRuns = 256;

/// Parses scenario text. source names it in errors. Throws ScenarioError; a text longer
/// than kMaxScenarioBytes is refused without being read.
USBORVA_EXPORT Scenario ParseScenario(std::string_view text, std::string source = "<scenario>");
/// Reads and parses a file; "-" reads standard input. Only a regular file is read (a FIFO,
/// a device or a directory is refused without blocking), and at most kMaxScenarioBytes of
/// it. Throws ScenarioError.
USBORVA_EXPORT Scenario LoadScenario(const std::string& path);

/// The built-in demonstration: one of everything a host application meets, paced for a
/// person to follow (a few seconds).
USBORVA_EXPORT std::string_view DemoScenarioText();
inline constexpr char kDemoScenarioName[] = "built-in demo";  ///< Its source name.
/// DemoScenarioText parsed, with kDemoScenarioName as its source.
USBORVA_EXPORT Scenario DemoScenario();

/// A failed expectation: where it was written and what went wrong.
struct USBORVA_EXPORT ExpectationFailure {
  int line = 0;  ///< the `expect` line
  /// "source:line: expected set-feature 0A 01 within 2s; the host sent none".
  std::string message;
};

/// Plays a scenario on a simulated machine. The player knows no clock: Advance runs the
/// steps that are due and says how long to wait for the next ones; TimedPlayer (below) or
/// any loop of the caller's supplies the waiting, in real or virtual time.
///
/// The timed input is the main strand. Each run of a rule is a strand of its own, started
/// inside the host's SetFeatureReport call: its steps up to its first wait run there and
/// then, and the wake handler (set_wake_handler) is asked to come back for the rest. An
/// expectation holds the main strand until what it awaits happens (the strand then goes on
/// at once, and the wake handler hears of it) or until the caller comes back after its time
/// limit, when it fails and the strand goes on: later expectations are still judged.
class USBORVA_EXPORT Player {
 public:
  using NoteHandler = std::function<void(const std::string&)>;  ///< Receives a note's text.
  /// Receives each failed expectation as it fails.
  using FailureHandler = std::function<void(const ExpectationFailure&)>;
  /// A strand of steps: kMainStrand, or one run of a rule (numbered from 1 as they start).
  using StrandId = uint64_t;
  static constexpr StrandId kMainStrand = 0;  ///< The timed input.
  /// Asked to call Advance(strand) after the wait; nullopt: the strand has ended, nothing is
  /// due. Called for strands that moved outside an Advance call of the caller's.
  using WakeHandler = std::function<void(StrandId, std::optional<Milliseconds>)>;

  /// The machine must outlive the player.
  Player(SimulatedHidSystem& system, Scenario scenario);
  /// Takes the player's hook off the machine.
  ~Player();
  Player(const Player&) = delete;             ///< The machine's hook names this object.
  Player& operator=(const Player&) = delete;  ///< Not assignable either.

  /// Adds the terminal to the machine, sets the configuration file (a scenario without one
  /// gets none, whatever the host machine has), the start-up faults, and the machine's
  /// SetFeature hook (replacing any other), through which the rules and the expectations
  /// see what the host sends. Call once, before the port opens: the control's own identity
  /// queries at open are SetFeatureReports too, and the rules that match them run.
  SimulatedHidSystem::InterfaceId Install();
  /// Runs every step of the main strand due now: up to the next wait of more than 0 ms, or
  /// to an expectation. Returns that wait (for an expectation, its time limit), or nullopt
  /// when the last step has run (a scenario ending in a wait ends when the caller comes back
  /// after it). Coming back while an expectation is still unmet fails it.
  std::optional<Milliseconds> Advance() { return Advance(kMainStrand); }
  /// The same for any strand. A strand that has ended, or never was, answers nullopt.
  std::optional<Milliseconds> Advance(StrandId strand);
  /// The main strand's last step has run, and every expectation is decided. Runs of rules
  /// may still be under way (RunningRules).
  bool Finished() const { return finished_; }
  /// Runs of rules started and not yet ended.
  size_t RunningRules() const { return runs_.size(); }
  /// Matches that did not run because kMaxRuleRuns runs were under way.
  uint64_t rule_runs_refused() const { return rule_runs_refused_; }

  /// An event of the control, as the host received it: an `expect event` waiting for it is
  /// met. Hosts that want such expectations judged feed every event here (the tool's monitor
  /// does); without them, an `expect event` fails when its time is up.
  void EventRaised(const RaisedEvent& event);
  /// For hosts that stop before the end: an expectation the main strand waits at fails now
  /// ("the run ended first"), so a run cut short does not pass for one that met it.
  void EndRun();

  /// Called with the text of each note as it is reached.
  void set_note_handler(NoteHandler handler) { on_note_ = std::move(handler); }
  /// Called with each expectation as it fails (failures() keeps them all).
  void set_failure_handler(FailureHandler handler) { on_failure_ = std::move(handler); }
  /// Where strands that move on their own ask for time (TimedPlayer sets it). Setting it
  /// calls it at once for each run of a rule already waiting.
  void set_wake_handler(WakeHandler handler);
  /// The failed expectations so far, in the order they failed.
  const std::vector<ExpectationFailure>& failures() const { return failures_; }
  bool Failed() const { return !failures_.empty(); }  ///< Any expectation failed.

  const Scenario& scenario() const { return scenario_; }  ///< What it plays.
  /// The terminal Install added; kNoInterface before.
  SimulatedHidSystem::InterfaceId interface_id() const { return id_; }
  /// How many reports the player has handed to the machine.
  size_t reports_sent() const { return reports_sent_; }

 private:
  struct RuleRun {
    StrandId id = 0;
    size_t rule = 0;
    size_t next = 0;
    Milliseconds wait{0};  // what it waits for, for a wake handler set later
  };

  void Run(const Step& step);
  std::optional<Milliseconds> AdvanceMain();
  std::optional<Milliseconds> AdvanceRun(StrandId strand);
  void OnSetFeature(SimulatedHidSystem::InterfaceId id, std::span<const uint8_t> report);
  void StartRuns(std::span<const uint8_t> report);
  // The pending expectation is met: the main strand goes on at once.
  void Met();
  // Something else the awaited party did, kept (the first few) for the failure message.
  void Witnessed(std::string shown);
  // The pending expectation fails for `why` ("the host sent none").
  void Fail(const std::string& why);

  SimulatedHidSystem& system_;
  Scenario scenario_;
  SimulatedHidSystem::InterfaceId id_ = SimulatedHidSystem::kNoInterface;
  size_t next_ = 0;
  bool finished_ = false;
  bool hooked_ = false;
  size_t reports_sent_ = 0;
  const Step* pending_ = nullptr;       // the expectation the main strand waits at
  std::vector<std::string> witnessed_;  // what came instead, the first few
  size_t witnessed_count_ = 0;
  std::vector<RuleRun> runs_;
  StrandId next_run_ = 1;
  uint64_t rule_runs_refused_ = 0;
  std::vector<ExpectationFailure> failures_;
  NoteHandler on_note_;
  FailureHandler on_failure_;
  WakeHandler on_wake_;
};

/// Drives a Player from timers of the host's loop: Start runs the steps due at once, and
/// each wait arms a timer for its length, one timer per strand under way (the timed input,
/// and each run of a rule). With an EventLoop on a ManualLoopClock the scenario runs in
/// virtual time, in no real time and always in the same order.
class USBORVA_EXPORT TimedPlayer {
 public:
  /// Makes a disabled timer that calls its argument on each tick (Container::CreateTimer,
  /// EventLoop::CreateTimer).
  using TimerFactory = std::function<std::unique_ptr<Timer>(std::function<void()>)>;

  /// The player must outlive this object. make_timer is kept for the timers of the rules'
  /// runs.
  TimedPlayer(Player& player, const TimerFactory& make_timer);
  /// Stops asking the loop for time: the player's wake handler is taken off.
  ~TimedPlayer();
  TimedPlayer(const TimedPlayer&) = delete;             ///< The player's handler names it.
  TimedPlayer& operator=(const TimedPlayer&) = delete;  ///< Not assignable either.

  /// Runs the steps due now and arms the timer for the first wait. Call once, on the loop's
  /// thread.
  void Start();
  bool Finished() const { return player_.Finished(); }  ///< The last step has run.

 private:
  // A timer for one run of a rule; strand 0 when it is free for the next run.
  struct Slot {
    std::unique_ptr<Timer> timer;
    Player::StrandId strand = 0;
  };

  void OnTick();
  void OnSlotTick(size_t slot);
  void OnWake(Player::StrandId strand, std::optional<Milliseconds> wait);
  static void Arm(Timer& timer, std::optional<Milliseconds> wait);

  Player& player_;
  TimerFactory make_timer_;
  std::unique_ptr<Timer> timer_;
  std::vector<Slot> slots_;
};

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_H_
