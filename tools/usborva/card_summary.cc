// SPDX-License-Identifier: Apache-2.0
#include "card_summary.h"

#include <iterator>

#include "text.h"

namespace usborva::cli {

String ShownPan(const CardView& view, bool reveal) {
  return reveal ? view.pan : MaskedPan(view.pan);
}

std::string HolderName(const CardView& view) {
  std::string name;
  for (const String* part : {&view.first_name, &view.middle_initial, &view.surname}) {
    if (part->empty()) continue;
    if (!name.empty()) name += ' ';
    name += Printable(*part);
  }
  return name;
}

std::string FormatExpiry(const String& yymm) {
  if (yymm.size() != 4) return Printable(yymm);
  return Printable(yymm.substr(2, 2) + u"/" + yymm.substr(0, 2));
}

JsonObject CardJson(const CardView& view, bool reveal, std::optional<bool> track3) {
  JsonObject card;
  card.AddBool("track1", view.track1_found).AddBool("track2", view.track2_found);
  if (track3) card.AddBool("track3", *track3);
  if (view.malformed()) return card.AddBool("malformed", true);
  card.AddString("pan", ShownPan(view, reveal))
      .AddBool("pan_luhn_valid", view.pan_luhn_valid)
      .AddString("surname", view.surname)
      .AddString("first_name", view.first_name)
      .AddString("middle_initial", view.middle_initial)
      .AddString("title", view.title)
      .AddString("expiry", view.expiry)
      .AddString("service_code", view.service_code);
  if (reveal) {
    card.AddString("track1_discretionary", view.track1_discretionary)
        .AddString("track2_discretionary", view.track2_discretionary);
  }
  return card;
}

std::string CardHeadline(const CardView& view, bool reveal) {
  if (!view.track1_found && !view.track2_found) return "no track 1 or track 2 data";
  if (view.malformed()) return "malformed card data: no field shown";
  std::string line = view.pan.empty() ? "no PAN" : Printable(ShownPan(view, reveal));
  if (const std::string name = HolderName(view); !name.empty()) line += "  " + name;
  if (!view.expiry.empty()) line += "  expires " + FormatExpiry(view.expiry);
  return line;
}

namespace {

std::string TrackStatus(bool found, bool malformed) {
  return malformed ? "malformed" : found ? "found" : "not found";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> CardLines(const CardView& view, bool reveal) {
  auto or_none = [](const String& text) { return text.empty() ? "-" : Printable(text); };
  const std::pair<std::string, std::string> tracks[] = {
      {"Track 1", TrackStatus(view.track1_found, view.track1_malformed)},
      {"Track 2", TrackStatus(view.track2_found, view.track2_malformed)},
  };
  if (view.malformed()) return {std::begin(tracks), std::end(tracks)};
  std::vector<std::pair<std::string, std::string>> lines = {
      tracks[0],
      tracks[1],
      {"PAN", view.pan.empty() ? "-"
                               : Printable(ShownPan(view, reveal)) +
                                     (view.pan_luhn_valid ? "  (check digit valid)"
                                                          : "  (check digit not valid)")},
      {"Name", HolderName(view).empty() ? "-" : HolderName(view)},
      {"Surname", or_none(view.surname)},
      {"First name", or_none(view.first_name)},
      {"Middle initial", or_none(view.middle_initial)},
      {"Title", or_none(view.title)},
      {"Expiry", view.expiry.empty() ? "-" : FormatExpiry(view.expiry)},
      {"Service code", or_none(view.service_code)},
  };
  const bool has_discretionary =
      !view.track1_discretionary.empty() || !view.track2_discretionary.empty();
  if (reveal) {
    lines.emplace_back("Track 1 discretionary", or_none(view.track1_discretionary));
    lines.emplace_back("Track 2 discretionary", or_none(view.track2_discretionary));
  } else {
    lines.emplace_back("Discretionary data",
                       has_discretionary ? "hidden (--reveal shows it)" : "-");
  }
  return lines;
}

}  // namespace usborva::cli
