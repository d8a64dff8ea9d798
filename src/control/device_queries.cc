// SPDX-License-Identifier: Apache-2.0
// The identity queries made when the port opens. Each asks the terminal through the
// control's own feature-report methods and cuts its answer out of the spaced hex text:
// byte k of a report stands at characters 3k+1 and 3k+2 (1-based).
#include "usborva/convert.h"
#include "usborva/hex_digits.h"
#include "usborva/protocol.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

// Where the fields of the two answers stand in their text (0-based): the data length n and
// the first data byte of report 0x0E, and the configuration bytes of report 0x09, spaced,
// without a trailing space.
constexpr size_t kLengthPosition = protocol::SpacedHexPosition(protocol::kInfoLengthOffset);
constexpr size_t kDataPosition = protocol::SpacedHexPosition(protocol::kInfoDataOffset);
constexpr size_t kConfigPosition = protocol::SpacedHexPosition(protocol::kConfigOffset);
constexpr size_t kConfigLength = protocol::SpacedHexLength(protocol::kConfigLength);

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

// An identity item whose data is text, one character per byte, and the property it fills.
struct TextItemQuery {
  protocol::InfoItem item;
  String ControlState::*field;
  int length_adjust;  // the PIN and MSR labels take one byte fewer than their length byte
};

// Asks for each item in turn through exchange (a Set, then a Get) into one response
// variable, which is emptied before every item but the first. A property whose Get fails
// becomes empty. The result is that of the last Get.
int32_t QueryTextItems(std::span<const TextItemQuery> items, ControlState& state,
                       const auto& exchange) {
  Variant response;
  int32_t result = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) response = Variant::FromString(String());
    result = exchange(protocol::InfoCommand(items[i].item), response);
    String value;
    if (result != 0) {
      const String text = ToString(response);
      value = SliceAsText(text, DataLength(text) + items[i].length_adjust);
    }
    state.*items[i].field = std::move(value);
  }
  return result;
}

}  // namespace

// Sends command and reads the answer back; the result of the Get alone decides.
int32_t USBORVA::QueryExchange(bool set_first, const String& command, Variant& output) {
  if (set_first) SetFeatureReport(command, output);
  return GetFeatureReport(command, output);
}

int32_t USBORVA::QueryBitmapCRC() {
  Variant response;
  const int32_t result =
      QueryExchange(true, protocol::InfoCommand(protocol::kInfoBitmapCRC), response);
  String value;
  if (result != 0) {
    const String text = ToString(response);
    value = DataSlice(text, DataLength(text));
  }
  state_.BitmapCRC = std::move(value);
  return result;
}

int32_t USBORVA::QueryKeySerialNumbers() {
  static constexpr TextItemQuery kKeySerialNumbers[] = {
      {protocol::kInfoPINKSN, &ControlState::PINKSN, 0},
      {protocol::kInfoMSRKSN, &ControlState::MSRKSN, 0}};
  return QueryTextItems(kKeySerialNumbers, state_,
                        [this](const String& command, Variant& response) {
                          return QueryExchange(true, command, response);
                        });
}

int32_t USBORVA::QueryDeviceConfig() {
  Variant response;
  const int32_t result = QueryExchange(false, protocol::ConfigCommand(), response);
  state_.DeviceConfig = String();
  if (result != 0) {
    const String text = ToString(response);
    if (text.size() > kConfigPosition)
      state_.DeviceConfig = text.substr(kConfigPosition, kConfigLength);
  }
  return result;
}

int32_t USBORVA::QueryLabels() {
  static constexpr TextItemQuery kLabels[] = {
      {protocol::kInfoAuthLabel, &ControlState::AuthLabel, 0},
      {protocol::kInfoPINLabel, &ControlState::PINLabel, -1},
      {protocol::kInfoMSRLabel, &ControlState::MSRLabel, -1}};
  return QueryTextItems(kLabels, state_, [this](const String& command, Variant& response) {
    return QueryExchange(true, command, response);
  });
}

}  // namespace usborva
