// SPDX-License-Identifier: Apache-2.0
// The card's fields for bindings: parsed here so the clear tracks never have to leave the
// library for a host that only wants to show a masked PAN and a name.
#include <string>

#include "c_api/handles.h"
#include "usborva/card_view.h"
#include "usborva/usborva_c.h"
#include "usborva/utf8.h"

using usborva::CardView;
using usborva::String;
using usborva::c_api::CallControl;
using usborva::c_api::Require;
using usborva::c_api::WipedString;

namespace {

void AddLine(std::string& lines, const char* key, const String& value) {
  lines += key;
  lines += '=';
  lines += usborva::StringToUtf8(value);
  lines += '\n';
}

void AddFlag(std::string& lines, const char* key, bool value) {
  lines += key;
  lines += value ? "=1\n" : "=0\n";
}

// key=value lines in the order of the tool's card object; a malformed card gives only
// which tracks were found.
std::string CardLines(const CardView& view, bool reveal) {
  std::string lines;
  AddFlag(lines, "track1", view.track1_found);
  AddFlag(lines, "track2", view.track2_found);
  if (view.malformed()) {
    AddFlag(lines, "malformed", true);
    return lines;
  }
  AddLine(lines, "pan", reveal ? view.pan : usborva::MaskedPan(view.pan));
  AddFlag(lines, "pan_luhn_valid", view.pan_luhn_valid);
  AddLine(lines, "surname", view.surname);
  AddLine(lines, "first_name", view.first_name);
  AddLine(lines, "middle_initial", view.middle_initial);
  AddLine(lines, "title", view.title);
  AddLine(lines, "expiry", view.expiry);
  AddLine(lines, "service_code", view.service_code);
  if (reveal) {
    AddLine(lines, "track1_discretionary", view.track1_discretionary);
    AddLine(lines, "track2_discretionary", view.track2_discretionary);
  }
  return lines;
}

}  // namespace

extern "C" {

int32_t usborva_card_view(usborva_control* control, int reveal, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    Require(out);
    WipedString tracks{c.get_Track1Data() + c.get_Track2Data()};
    CardView view = usborva::ParseCardView(tracks.text);
    std::string lines = CardLines(view, reveal != 0);
    usborva::c_api::Wipe(view.pan);
    usborva::c_api::Wipe(view.track1_discretionary);
    usborva::c_api::Wipe(view.track2_discretionary);
    try {
      *out = usborva::c_api::TextOut(std::string_view(lines));
    } catch (...) {
      usborva::c_api::Wipe(lines);
      throw;
    }
    usborva::c_api::Wipe(lines);
  });
}

}  // extern "C"
