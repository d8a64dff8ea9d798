// SPDX-License-Identifier: Apache-2.0
// The identity queries made when the port opens. Each asks the terminal through the
// control's own feature-report methods and cuts its answer out of the spaced hex text:
// byte k of a report stands at characters 3k+1 and 3k+2 (1-based).
#include "usborva/convert.h"
#include "usborva/hex_digits.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

constexpr size_t kLengthPosition = 9;  // 0-based: byte 3, the data length n
constexpr size_t kDataPosition = 12;   // 0-based: byte 4, the first data byte
constexpr size_t kConfigPosition = 3;  // 0-based: byte 1 of report 0x09
constexpr size_t kConfigLength = 23;   // bytes 1 to 8, spaced, without a trailing space

int HexDigit(char16_t c) {
  const int value = HexDigitValue(c);
  if (value < 0) throw AutomationError(error::kTypeMismatch);
  return value;
}

// n: the two characters at byte 3's place, or 0 when the answer is too short to hold them.
int DataLength(const String& response) {
  if (response.size() < kLengthPosition + 2) return 0;
  return HexDigit(response[kLengthPosition]) * 16 + HexDigit(response[kLengthPosition + 1]);
}

// The 3k characters from byte 4's place on, fewer where the answer ends first. A label
// whose length byte is 0 asks for -1 bytes: that is no bytes, not a failed open.
String DataSlice(const String& response, int bytes) {
  if (bytes <= 0 || response.size() <= kDataPosition) return String();
  return response.substr(kDataPosition, static_cast<size_t>(bytes) * 3);
}

String WithoutSpaces(const String& text) {
  String out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c != u' ') out.push_back(c);
  }
  return out;
}

String SliceAsText(const String& response, int bytes) {
  return convert::HexToText(WithoutSpaces(DataSlice(response, bytes)));
}

}  // namespace

// Sends command and reads the answer back; the result of the Get alone decides.
int32_t USBORVA::QueryExchange(bool set_first, const String& command, Variant& output) {
  if (set_first) SetFeatureReport(command, output);
  return GetFeatureReport(command, output);
}

int32_t USBORVA::QueryBitmapCRC() {
  Variant response;
  const int32_t result = QueryExchange(true, u"0E 10", response);
  String value;
  if (result != 0) {
    const String text = ToString(response);
    value = DataSlice(text, DataLength(text));
  }
  state_.BitmapCRC = std::move(value);
  return result;
}

int32_t USBORVA::QueryKeySerialNumbers() {
  Variant response;
  int32_t result = 0;
  for (auto [command, field] :
       {std::pair{u"0E 01", &ControlState::PINKSN}, std::pair{u"0E 02", &ControlState::MSRKSN}}) {
    if (field == &ControlState::MSRKSN) response = Variant::FromString(String());
    result = QueryExchange(true, command, response);
    String value;
    if (result != 0) {
      const String text = ToString(response);
      value = SliceAsText(text, DataLength(text));
    }
    state_.*field = std::move(value);
  }
  return result;
}

int32_t USBORVA::QueryDeviceConfig() {
  Variant response;
  const int32_t result = QueryExchange(false, u"09", response);
  state_.DeviceConfig = String();
  if (result != 0) {
    const String text = ToString(response);
    if (text.size() > kConfigPosition)
      state_.DeviceConfig = text.substr(kConfigPosition, kConfigLength);
  }
  return result;
}

int32_t USBORVA::QueryLabels() {
  struct Label {
    const char16_t* command;
    String ControlState::*field;
    int length_adjust;  // the two later labels take one byte fewer than their length byte
  };
  static constexpr Label kLabels[] = {{u"0E 00", &ControlState::AuthLabel, 0},
                                      {u"0E 03", &ControlState::PINLabel, -1},
                                      {u"0E 04", &ControlState::MSRLabel, -1}};
  Variant response;
  int32_t result = 0;
  for (const Label& label : kLabels) {
    if (&label != kLabels) response = Variant::FromString(String());
    result = QueryExchange(true, label.command, response);
    String value;
    if (result != 0) {
      const String text = ToString(response);
      value = SliceAsText(text, DataLength(text) + label.length_adjust);
    }
    state_.*label.field = std::move(value);
  }
  return result;
}

}  // namespace usborva
