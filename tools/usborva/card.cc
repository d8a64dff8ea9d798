// SPDX-License-Identifier: Apache-2.0
// card: the control's card-data parsing methods on text the user supplies.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <ostream>
#include <vector>

#include "args.h"
#include "card_summary.h"
#include "commands.h"
#include "exit_codes.h"
#include "json.h"
#include "output.h"
#include "suggest.h"
#include "text.h"
#include "usborva/card_view.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/text_guard.h"
#include "usborva/usborva.h"

namespace usborva::cli {
namespace {

constexpr OptionSpec kSpecs[] = {
    {"help", OptionKind::kFlag},   {"masked", OptionKind::kFlag},
    {"data", OptionKind::kValue},  {"masked-data", OptionKind::kValue},
    {"back", OptionKind::kFlag},   {"forward", OptionKind::kFlag},
    {"reveal", OptionKind::kFlag}, {"json", OptionKind::kFlag},
};

// Far more than any reader's card data; a larger input is a mistake, not a card.
constexpr size_t kMaxCardText = 1 << 20;

// Standard input whole, less one trailing line break (LF or CR LF).
std::string ReadStandardInput() {
  if (IsTerminal(STDIN_FILENO)) {
    throw UsageError("give the card data on standard input (or with --data, --masked-data)");
  }
  std::string text;
  for (std::istreambuf_iterator<char> in(std::cin), end; in != end; ++in) {
    if (text.size() == kMaxCardText) throw UsageError("the card data is longer than 1 MiB");
    text.push_back(*in);
  }
  if (text.ends_with("\r\n")) {
    text.resize(text.size() - 2);
  } else if (text.ends_with('\n')) {
    text.pop_back();
  }
  return text;
}

// A card number on the command line stays in the shell's history and is visible to every
// user in the process list; standard input leaves no such trace.
void WarnAboutCommandLine(const Args& args, std::ostream& err) {
  for (const char* option : {"data", "masked-data"}) {
    const auto text = args.Value(option);
    if (!text || !HoldsCardNumber(*text)) continue;
    err << "usborva card: warning: --" << option
        << " leaves the card number in your shell history and the process list; give the "
           "card data on standard input instead\n";
    return;
  }
}

// The text goes where the command line says; from standard input it goes where the method
// reads, so `--masked` with piped text works as it reads.
void LoadCardData(USBORVA& control, const Args& args, std::ostream& err) {
  const auto data = args.Value("data");
  const auto masked = args.Value("masked-data");
  WarnAboutCommandLine(args, err);
  if (data) control.put_CardData(Utf8ToString(*data));
  if (masked) control.put_CardDataMasked(Utf8ToString(*masked));
  if (data || masked) return;
  const String text = Utf8ToString(ReadStandardInput());
  if (args.Has("masked")) {
    control.put_CardDataMasked(text);
  } else {
    control.put_CardData(text);
  }
}

struct Subcommand {
  std::string_view name;
  size_t positionals;  // the subcommand's name included
  std::string_view usage;
};

constexpr Subcommand kSubcommands[] = {
    {"track", 2, "usborva card track N [--masked] [--json]"},
    {"first-name", 1, "usborva card first-name [--masked]"},
    {"last-name", 1, "usborva card last-name [--masked]"},
    {"element", 5, "usborva card element TRACK REFCHAR DISPLACEMENT NUMDIGITS [--back|--forward]"},
    {"info", 1, "usborva card info [--reveal] [--json]"},
};

// Every mistake of the command line is found before standard input is read.
void Validate(const Args& args) {
  if (args.positionals().empty()) {
    throw UsageError("missing what to parse: track, first-name, last-name, element or info");
  }
  const std::string& name = args.positionals()[0];
  const auto* sub = std::find_if(std::begin(kSubcommands), std::end(kSubcommands),
                                 [&](const Subcommand& s) { return s.name == name; });
  if (sub == std::end(kSubcommands)) {
    std::vector<std::string_view> names;
    for (const Subcommand& known : kSubcommands) names.push_back(known.name);
    throw UsageError("unknown card subcommand '" + QuoteForMessage(name) + "'" +
                     DidYouMean(name, names));
  }
  ExpectPositionals(args, sub->positionals, sub->positionals, sub->usage);
  const auto& p = args.positionals();
  if (name == "track") ParseInteger16(p[1], "N");
  if (name == "element") {
    ParseInteger16(p[1], "TRACK");
    ParseInteger16(p[3], "DISPLACEMENT");
  }
  if (args.Has("back") && args.Has("forward"))
    throw UsageError("give --back or --forward, not both");
  if ((args.Has("back") || args.Has("forward")) && name != "element") {
    throw UsageError("--back and --forward belong to 'card element'");
  }
}

String RunElement(USBORVA& control, const Args& args) {
  const auto& p = args.positionals();
  const int16_t track = ParseInteger16(p[1], "TRACK");
  const String ref_char = Utf8ToString(p[2]);
  const int16_t displacement = ParseInteger16(p[3], "DISPLACEMENT");
  const String num_digits = Utf8ToString(p[4]);
  const bool masked = args.Has("masked");
  if (!args.Has("back") && !args.Has("forward")) {
    return masked ? control.FindElementMasked(track, ref_char, displacement, num_digits)
                  : control.FindElement(track, ref_char, displacement, num_digits);
  }
  Variant direction = Variant::FromBoolean(args.Has("back"));
  return masked ? control.FindElementMasked(track, ref_char, displacement, num_digits, direction)
                : control.FindElement(track, ref_char, displacement, num_digits, direction);
}

int RunInfo(USBORVA& control, const Args& args, std::ostream& out, std::ostream& err) {
  const bool reveal = args.Has("reveal");
  if (reveal) WarnReveal(out, err);
  const bool masked = args.Has("masked") || (!args.Has("data") && args.Has("masked-data"));
  const CardView view =
      ParseCardView(masked ? control.get_CardDataMasked() : control.get_CardData());
  if (args.Has("json")) {
    out << JsonLine(CardJson(view, reveal)) << "\n";
    return kExitOk;
  }
  for (const auto& [label, value] : CardLines(view, reveal)) {
    out << Padded(label, 23) << value << "\n";
  }
  return kExitOk;
}

// Tracks 1-3 are kept apart in the control, but nothing the terminal reports is ever
// stored in them: the whole card data is track 0. Said on stderr, so the empty line a
// script reads stays what the method returns.
void NoteEmptyTrack(int16_t track, std::ostream& err) {
  if (track < 1 || track > 3) return;
  err << "usborva card: note: track " << track
      << " is always empty (nothing fills tracks 1-3); use track 0, 'card element 0 ...' "
         "or 'card info' for the card's fields\n";
}

int RunTrack(USBORVA& control, const Args& args, std::ostream& out, std::ostream& err) {
  int16_t track = ParseInteger16(args.positionals()[1], "N");
  const bool masked = args.Has("masked");
  const String result = masked ? control.GetTrackMasked(track) : control.GetTrack(track);
  NoteEmptyTrack(track, err);
  if (args.Has("json")) {
    if (args.Has("reveal")) WarnReveal(out, err);
    out << JsonLine(JsonObject()
                        .AddString("type", "track")
                        .AddInt("track", track)
                        .AddBool("masked", masked)
                        .AddString("text", result))
        << "\n";
    return kExitOk;
  }
  // The one place the tool prints past its output guard (docs/cli.md): the user supplied
  // the text, and a script reading a track needs it byte for byte.
  PrintExact(out, StringToUtf8(result) + "\n");
  return kExitOk;
}

}  // namespace

int RunCard(CommandArgs raw, std::ostream& out, std::ostream& err) {
  const Args args = ParseArgs(raw, kSpecs);
  if (HelpAsked(args, "card", out)) return kExitOk;
  Validate(args);
  const std::string& what = args.positionals()[0];
  const bool track_json = what == "track" && args.Has("json");
  if ((args.Has("reveal") || args.Has("json")) && what != "info" && !track_json) {
    throw UsageError(
        "--reveal and --json belong to 'card info' (and to 'card track', --reveal with --json)");
  }
  EventLoop loop;
  Host host(loop);
  USBORVA control(host);
  control.InitProperties();
  LoadCardData(control, args, err);
  const bool masked = args.Has("masked");
  String result;
  if (what == "info") return RunInfo(control, args, out, err);
  if (what == "track") return RunTrack(control, args, out, err);
  if (what == "first-name") {
    result = masked ? control.GetFNameMasked() : control.GetFName();
  } else if (what == "last-name") {
    result = masked ? control.GetLNameMasked() : control.GetLName();
  } else {
    result = RunElement(control, args);
  }
  // Past the output guard, as a track is (RunTrack).
  PrintExact(out, StringToUtf8(result) + "\n");
  return kExitOk;
}

}  // namespace usborva::cli
