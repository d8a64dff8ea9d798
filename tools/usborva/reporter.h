// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_REPORTER_H_
#define USBORVA_TOOLS_REPORTER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json.h"
#include "usborva/connection.h"
#include "usborva/events.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

namespace usborva::cli {

struct ReportOptions {
  bool json = false;    // one JSON object per line (docs/cli.md), else aligned text
  bool reveal = false;  // clear track data, PAN, discretionary data and PIN blocks shown
  bool demo = false;    // notes as section headings, with a blank line before each
  // Times run in virtual time: "time" is then the epoch plus time_ms, the same on every run,
  // instead of the wall clock.
  bool virtual_time = false;
};

// What a host application sees, written for a person or a script: the identity read at
// open, every event with its arguments and the properties a handler would read, the
// terminal coming and going, and the final properties at close. It is the control's event
// sink, so events are printed from inside the handler, as a host would handle them.
class Reporter : public ForwardingEventSink {
 public:
  using Clock = std::function<std::chrono::milliseconds()>;

  Reporter(std::ostream& out, ReportOptions options);

  // The control whose properties the handlers read, and the time since the port opened.
  void Attach(const USBORVA& control, Clock clock);
  // A status line to keep at the bottom of a terminal (drawn after each printed line);
  // empty function: none.
  void set_status(std::function<std::string()> status) { status_ = std::move(status); }

  // Called with each event after it is printed (the scenario's expectations watch them).
  void set_event_observer(std::function<void(const RaisedEvent&)> observer) {
    event_observer_ = std::move(observer);
  }

  void Opened(std::string_view terminal);
  void Note(const std::string& text);
  // A scenario's expectation failed: the JSON line (text runs say so on stderr instead).
  void ExpectationFailed(int line, const std::string& message);
  // The terminal lost or back (the control's connection notifications); others are not
  // printed.
  void ConnectionChanged(const ConnectionNotice& notice);
  // The driver's drops are known (a simulated terminal): the summary at close counts them.
  void CountDrops() { dropped_ = 0; }
  // count more input reports the driver let go because its queue was full, as policy says.
  void Dropped(uint64_t count, sim::QueuePolicy policy);
  void Closed(std::string_view reason, uint64_t reports);
  // Lines for the person watching, outside the event stream (the simulator's keys), kept
  // clear of the status line. Text output only: a JSON run prints nothing here.
  void PrintText(std::string_view text);
  // Draws the status line again (a timer calls this while nothing else is printed).
  void RedrawStatus();
  void ClearStatus();

  uint64_t events() const { return events_; }

 private:
  // Prints the event with its arguments; the card's events with what a handler reads.
  void Forward(const RaisedEvent& event) override;
  void Print(const RaisedEvent& event);
  void PrintLine(const std::string& text);
  void PrintJson(const JsonObject& object);
  struct Detail {
    std::vector<std::pair<std::string, JsonObject>> json;  // further members of the line
    std::vector<std::string> lines;                        // further human lines
  };
  // An event: the JSON line, or "time  Name  args" and the detail lines under it.
  void Event(std::string_view name, const JsonObject& args, const std::string& human,
             const Detail& detail = {});
  Detail CardDetail() const;
  JsonObject FinalProperties() const;

  std::ostream& out_;
  ReportOptions options_;
  const USBORVA* control_ = nullptr;
  Clock clock_;
  // "time" of a JSON line: the wall clock, or the epoch plus time_ms in virtual time.
  std::string WallTime() const;
  std::function<std::string()> status_;
  std::function<void(const RaisedEvent&)> event_observer_;
  bool status_drawn_ = false;
  uint64_t events_ = 0;
  std::optional<uint64_t> dropped_;  // none: the driver's drops are not known
};

// A masked secret: as many '*' as it has characters.
String Hidden(const String& secret);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_REPORTER_H_
