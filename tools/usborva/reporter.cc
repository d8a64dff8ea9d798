// SPDX-License-Identifier: Apache-2.0
#include "reporter.h"

#include <ostream>

#include "card_summary.h"
#include "output.h"
#include "text.h"
#include "usborva/card_view.h"

namespace usborva::cli {
namespace {

constexpr size_t kLabelWidth = 17;
constexpr size_t kEventWidth = 20;
// Where the arguments of an event start: the time, two blanks, the name, a blank.
const std::string kDetailIndent(9 + 2 + kEventWidth + 1, ' ');

struct IdentityField {
  const char* name;
  String (USBORVA::*get)() const;
};

constexpr IdentityField kIdentity[] = {
    {"ReaderID", &USBORVA::get_ReaderID},
    {"UsbProduct", &USBORVA::get_UsbProduct},
    {"DeviceSerialNum", &USBORVA::get_DeviceSerialNum},
    {"Firmware", &USBORVA::get_Firmware},
    {"BitmapCRC", &USBORVA::get_BitmapCRC},
    {"PINKSN", &USBORVA::get_PINKSN},
    {"MSRKSN", &USBORVA::get_MSRKSN},
    {"DeviceConfig", &USBORVA::get_DeviceConfig},
    {"AuthLabel", &USBORVA::get_AuthLabel},
    {"PINLabel", &USBORVA::get_PINLabel},
    {"MSRLabel", &USBORVA::get_MSRLabel},
};

std::string ByteArg(std::string_view name, uint8_t value) {
  return std::string(name) + "=" + std::to_string(value);
}

}  // namespace

String Hidden(const String& secret) { return String(secret.size(), u'*'); }

Reporter::Reporter(std::ostream& out, ReportOptions options) : out_(out), options_(options) {}

void Reporter::Attach(const USBORVA& control, Clock clock) {
  control_ = &control;
  clock_ = std::move(clock);
}

void Reporter::PrintLine(const std::string& text) {
  ClearStatus();
  out_ << text << '\n';
  RedrawStatus();
}

std::string Reporter::WallTime() const {
  if (options_.virtual_time) return FormatIsoTime(std::chrono::system_clock::time_point(clock_()));
  return FormatIsoTime(std::chrono::system_clock::now());
}

void Reporter::PrintJson(const JsonObject& object) {
  out_ << JsonLine(object) << '\n' << std::flush;
}

void Reporter::PrintText(std::string_view text) {
  if (options_.json) return;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    PrintLine(std::string(text.substr(0, end)));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

void Reporter::RedrawStatus() {
  if (!status_ || options_.json) {
    out_.flush();
    return;
  }
  DrawStatusLine(out_, status_());
  status_drawn_ = true;
}

void Reporter::ClearStatus() {
  if (!status_drawn_) return;
  ClearStatusLine(out_);
  status_drawn_ = false;
}

void Reporter::Opened(std::string_view terminal) {
  if (options_.json) {
    JsonObject identity;
    for (const IdentityField& field : kIdentity) {
      identity.AddString(field.name, (control_->*field.get)());
    }
    PrintJson(JsonObject()
                  .AddString("type", "open")
                  .AddInt("time_ms", clock_().count())
                  .AddString("time", WallTime())
                  .AddString("terminal", terminal)
                  .AddObject("identity", identity));
    return;
  }
  PrintLine("Port open on " + std::string(terminal));
  for (const IdentityField& field : kIdentity) {
    const String value = (control_->*field.get)();
    PrintLine("  " + Padded(field.name, kLabelWidth) + (value.empty() ? "-" : Printable(value)));
  }
  if (!options_.demo) PrintLine("");  // the demo's notes open each section with one
}

void Reporter::Note(const std::string& text) {
  if (options_.json) {
    PrintJson(JsonObject()
                  .AddString("type", "note")
                  .AddInt("time_ms", clock_().count())
                  .AddString("time", WallTime())
                  .AddString("text", text));
    return;
  }
  if (options_.demo) {
    PrintLine("");
    PrintLine("  " + Printable(text));
  } else {
    PrintLine(FormatTime(clock_()) + "  # " + Printable(text));
  }
}

void Reporter::ExpectationFailed(int line, const std::string& message) {
  PrintJson(JsonObject()
                .AddString("type", "expectation-failed")
                .AddInt("time_ms", clock_().count())
                .AddString("time", WallTime())
                .AddInt("line", line)
                .AddString("message", message));
}

void Reporter::ConnectionChanged(const ConnectionNotice& notice) {
  if (notice.change != ConnectionChange::kLost && notice.change != ConnectionChange::kReconnected) {
    return;
  }
  const bool lost = notice.change == ConnectionChange::kLost;
  if (options_.json) {
    PrintJson(JsonObject()
                  .AddString("type", "device")
                  .AddInt("time_ms", clock_().count())
                  .AddString("time", WallTime())
                  .AddString("state", lost ? "lost" : "reconnected"));
    return;
  }
  PrintLine(FormatTime(clock_()) + "  " +
            (lost ? "terminal lost: the control reconnects when it comes back"
                  : "terminal back: reconnected by the control, no action needed"));
}

void Reporter::Event(std::string_view name, const JsonObject& args, const std::string& human,
                     const Detail& detail) {
  ++events_;
  if (options_.json) {
    JsonObject line;
    line.AddString("type", "event")
        .AddInt("time_ms", clock_().count())
        .AddString("time", WallTime())
        .AddString("event", name)
        .AddObject("args", args);
    for (const auto& [key, value] : detail.json) line.AddObject(key, value);
    PrintJson(line);
    return;
  }
  PrintLine(FormatTime(clock_()) + "  " + Padded(name, kEventWidth) + " " + human);
  for (const std::string& more : detail.lines) PrintLine(kDetailIndent + more);
}

// What a CardDataChanged handler reads: the tracks (shown as the card's fields), the KSN,
// the sigil status and the encrypted tracks.
Reporter::Detail Reporter::CardDetail() const {
  const USBORVA& c = *control_;
  const CardView view = ParseCardView(c.get_Track1Data() + c.get_Track2Data());
  Detail detail;
  const JsonObject card = CardJson(view, options_.reveal, !c.get_Track3Data().empty());
  JsonObject properties;
  properties.AddString("DUKPTKSN", c.get_DUKPTKSN())
      .AddInt("SigilStatus", c.get_SigilStatus())
      .AddString("EncTrack1Data", c.get_EncTrack1Data())
      .AddString("EncTrack2Data", c.get_EncTrack2Data())
      .AddString("EncTrack3Data", c.get_EncTrack3Data())
      .AddString("SigilData", ToString(c.get_SigilData()));
  if (options_.reveal) {
    properties.AddString("Track1Data", c.get_Track1Data())
        .AddString("Track2Data", c.get_Track2Data())
        .AddString("Track3Data", c.get_Track3Data());
  }
  detail.json = {{"card", card}, {"properties", properties}};
  detail.lines.push_back("DUKPTKSN " + Printable(c.get_DUKPTKSN()) + "  SigilStatus " +
                         std::to_string(c.get_SigilStatus()));
  const std::pair<const char*, String> hex[] = {{"EncTrack1Data", c.get_EncTrack1Data()},
                                                {"EncTrack2Data", c.get_EncTrack2Data()},
                                                {"EncTrack3Data", c.get_EncTrack3Data()},
                                                {"SigilData", ToString(c.get_SigilData())}};
  for (const auto& [label, value] : hex) {
    if (!value.empty()) detail.lines.push_back(std::string(label) + " " + ShortHex(value));
  }
  if (options_.reveal) {
    const std::pair<const char*, String> clear[] = {{"Track1Data", c.get_Track1Data()},
                                                    {"Track2Data", c.get_Track2Data()},
                                                    {"Track3Data", c.get_Track3Data()}};
    for (const auto& [label, value] : clear) {
      if (!value.empty()) detail.lines.push_back(std::string(label) + " " + Printable(value));
    }
  }
  return detail;
}

void Reporter::Forward(const RaisedEvent& event) {
  Print(event);
  if (event_observer_) event_observer_(event);
}

void Reporter::Print(const RaisedEvent& event) {
  const std::string_view name = EventName(event.id);
  if (event.id == EventId::kCardDataChanged) {
    const CardView view = ParseCardView(control_->get_Track1Data() + control_->get_Track2Data());
    Event(name, JsonObject(), CardHeadline(view, options_.reveal), CardDetail());
    return;
  }
  if (event.id == EventId::kCardDataError) {
    Event(name, JsonObject(), "the terminal could not read the card");
    return;
  }
  JsonObject args;
  std::string human;
  const auto byte_names = EventByteNames(event.id);
  for (size_t i = 0; i < event.byte_count; ++i) {
    args.AddInt(byte_names[i], event.bytes[i]);
    human += (i > 0 ? " " : "") + ByteArg(byte_names[i], event.bytes[i]);
  }
  if (event.id == EventId::kPINResponse) {
    args.AddString("KSN", *event.KSN)
        .AddString("EPB", options_.reveal ? *event.EPB : Hidden(*event.EPB));
    human += " KSN=" + Printable(*event.KSN) +
             " EPB=" + (options_.reveal ? Printable(*event.EPB) : "(hidden)");
  }
  Event(name, args, human);
}

void Reporter::Dropped(uint64_t count, sim::QueuePolicy policy) {
  if (dropped_) *dropped_ += count;
  const bool oldest = policy == sim::QueuePolicy::kWindows;
  if (options_.json) {
    PrintJson(JsonObject()
                  .AddString("type", "dropped")
                  .AddInt("time_ms", clock_().count())
                  .AddString("time", WallTime())
                  .AddInt("count", static_cast<int64_t>(count))
                  .AddString("queue", sim::QueuePolicyName(policy))
                  .AddString("lost", oldest ? "oldest" : "newest"));
    return;
  }
  PrintLine(FormatTime(clock_()) + "  dropped " + std::to_string(count) +
            (count == 1 ? " input report" : " input reports") + ": the driver's queue was full (" +
            std::string(sim::QueuePolicyName(policy)) +
            (oldest ? ": the oldest are lost)" : ": the newest are lost)"));
}

JsonObject Reporter::FinalProperties() const {
  const USBORVA& c = *control_;
  JsonObject properties;
  properties.AddBool("PortOpen", c.get_PortOpen())
      .AddString("ReaderID", c.get_ReaderID())
      .AddInt("DeviceState", c.get_DeviceState())
      .AddInt("SessionStatus", c.get_SessionStatus())
      .AddInt("DeviceStatus", c.get_DeviceStatus())
      .AddString("DUKPTKSN", c.get_DUKPTKSN())
      .AddInt("SigilStatus", c.get_SigilStatus())
      .AddString("EncTrack1Data", c.get_EncTrack1Data())
      .AddString("EncTrack2Data", c.get_EncTrack2Data())
      .AddString("EncTrack3Data", c.get_EncTrack3Data())
      .AddString("SigilData", ToString(c.get_SigilData()))
      .AddString("SwipeCommandOutput", c.get_SwipeCommandOutput());
  if (options_.reveal) {
    properties.AddString("Track1Data", c.get_Track1Data())
        .AddString("Track2Data", c.get_Track2Data())
        .AddString("Track3Data", c.get_Track3Data());
  }
  return properties;
}

void Reporter::Closed(std::string_view reason, uint64_t reports) {
  if (options_.json) {
    JsonObject line;
    line.AddString("type", "close")
        .AddInt("time_ms", clock_().count())
        .AddString("time", WallTime())
        .AddString("reason", reason)
        .AddInt("reports", static_cast<int64_t>(reports))
        .AddInt("events", static_cast<int64_t>(events_))
        .AddObject("properties", FinalProperties());
    if (dropped_) line.AddInt("dropped", static_cast<int64_t>(*dropped_));
    PrintJson(line);
    return;
  }
  PrintLine("");
  std::string at = FormatTime(clock_());
  at.erase(0, at.find_first_not_of(' '));
  std::string summary = "Port closed at " + at + " (" + std::string(reason) +
                        "): " + std::to_string(reports) + " input reports, " +
                        std::to_string(events_) + " events";
  if (dropped_.value_or(0) > 0)
    summary += ", " + std::to_string(*dropped_) + " dropped by the driver";
  PrintLine(summary + ".");
  ClearStatus();
  status_ = nullptr;
}

}  // namespace usborva::cli
