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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/container.h"
#include "usborva/export.h"
#include "usborva/protocol.h"
#include "usborva/simulated_hid_system.h"

/// Scenarios are small text files that describe a simulated terminal and what it does over
/// time: identity and report lengths first, then timed input (status reports, swipes, PIN
/// and key responses, raw reports, unplug and plug). docs/scenarios.md is the reference.
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

/// What a step does.
enum class StepKind {
  kWait,     ///< wait: nothing happens for `wait`
  kReports,  ///< the terminal sends `reports`, in order
  kUnplug,   ///< the terminal is pulled out
  kPlug,     ///< the terminal is plugged back in
  kFault,    ///< a simulated fault is switched on or off
  kNote,     ///< `text` is shown to whoever watches the run
};

/// One step of a scenario, as parsed; only the fields of its kind are used.
struct USBORVA_EXPORT Step {
  StepKind kind = StepKind::kWait;       ///< What the step does.
  Milliseconds wait{0};                  ///< kWait: how long.
  std::vector<sim::Report> reports;      ///< kReports: the input reports, in order.
  sim::Fault fault = sim::Fault::kOpen;  ///< kFault: which fault.
  bool fault_on = true;                  ///< kFault: switched on (true) or off.
  std::string text;                      ///< kNote: the note.
  int line = 0;  ///< where the step was written (a step of a repeat block: its line)
};

/// A parsed scenario: the terminal it describes and the steps it plays.
struct USBORVA_EXPORT Scenario {
  std::string source;                      ///< the file name, or the built-in scenario's name
  sim::InterfaceSpec terminal;             ///< with its identity answers
  bool starts_plugged = true;              ///< false: the terminal is absent until a plug
  std::optional<std::string> config_text;  ///< the configuration file's text; none: no file
  std::vector<sim::Fault> faults;          ///< on from the start
  std::vector<Step> steps;                 ///< in order, repeat blocks expanded

  /// The sum of the waits: how long the scenario runs.
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
/// (they are read before the block turns out to repeat nothing).
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

/// Plays a scenario on a simulated machine. The player knows no clock: Advance runs the
/// steps that are due and says how long to wait for the next ones; TimedPlayer (below) or
/// any loop of the caller's supplies the waiting, in real or virtual time.
class USBORVA_EXPORT Player {
 public:
  using NoteHandler = std::function<void(const std::string&)>;  ///< Receives a note's text.

  /// The machine must outlive the player.
  Player(SimulatedHidSystem& system, Scenario scenario);

  /// Adds the terminal to the machine, sets the configuration file (a scenario without one
  /// gets none, whatever the host machine has) and the start-up faults. Call once, before
  /// the port opens.
  SimulatedHidSystem::InterfaceId Install();
  /// Runs every step due now: up to the next wait of more than 0 ms. Returns that wait, or
  /// nullopt when the last step has run (a scenario ending in a wait ends when the caller
  /// comes back after it).
  std::optional<Milliseconds> Advance();
  bool Finished() const { return finished_; }  ///< The last step has run.

  /// Called with the text of each note as it is reached.
  void set_note_handler(NoteHandler handler) { on_note_ = std::move(handler); }

  const Scenario& scenario() const { return scenario_; }  ///< What it plays.
  /// The terminal Install added; kNoInterface before.
  SimulatedHidSystem::InterfaceId interface_id() const { return id_; }
  /// How many reports the player has handed to the machine.
  size_t reports_sent() const { return reports_sent_; }

 private:
  void Run(const Step& step);

  SimulatedHidSystem& system_;
  Scenario scenario_;
  SimulatedHidSystem::InterfaceId id_ = SimulatedHidSystem::kNoInterface;
  size_t next_ = 0;
  bool finished_ = false;
  size_t reports_sent_ = 0;
  NoteHandler on_note_;
};

/// Drives a Player from a timer of the host's loop: Start runs the steps due at once, and
/// each wait arms the timer for its length. With an EventLoop on a ManualLoopClock the
/// scenario runs in virtual time, in no real time and always in the same order.
class USBORVA_EXPORT TimedPlayer {
 public:
  /// Makes a disabled timer that calls its argument on each tick (Container::CreateTimer,
  /// EventLoop::CreateTimer).
  using TimerFactory = std::function<std::unique_ptr<Timer>(std::function<void()>)>;

  /// The player must outlive this object.
  TimedPlayer(Player& player, const TimerFactory& make_timer);

  /// Runs the steps due now and arms the timer for the first wait. Call once, on the loop's
  /// thread.
  void Start();
  bool Finished() const { return player_.Finished(); }  ///< The last step has run.

 private:
  void OnTick();

  Player& player_;
  std::unique_ptr<Timer> timer_;
};

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_H_
