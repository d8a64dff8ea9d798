// SPDX-License-Identifier: Apache-2.0
// Test cards: published test numbers only, so nothing a rehearsal or a shared recording
// shows can be a customer's account.
#include "usborva/test_cards.h"

#include <algorithm>
#include <array>

namespace usborva {
namespace {

// Published test numbers of the schemes; every one passes the Luhn check.
constexpr std::array<TestCard, 8> kTestCards = {{
    {"Visa", "4111111111111111", "TEST/CARD A", "2812", "101"},
    {"Visa (second)", "4012888888881881", "TEST/CARD B", "2906", "201"},
    {"Visa 13 digits", "4222222222222", "TEST/CARD C", "2703", "101"},
    {"Mastercard", "5555555555554444", "TEST/CARD D", "2811", "101"},
    {"Mastercard (second)", "5105105105105100", "TEST/CARD E", "3001", "201"},
    {"Amex 15 digits", "378282246310005", "TEST/CARD F", "2909", "101"},
    {"Discover", "6011111111111117", "TEST/CARD G", "2802", "101"},
    {"JCB", "3530111333300000", "TEST/CARD H", "3105", "101"},
}};

// The discretionary data a real card carries after the service code; zeroed here.
constexpr std::string_view kTrack1Discretionary = "0000000000000000";
constexpr std::string_view kTrack2Discretionary = "0000000000000";

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

}  // namespace

std::span<const TestCard> TestCards() { return kTestCards; }

std::string TestTrack1(const TestCard& card) {
  return Join({"%B", card.pan, "^", card.name, "^", card.expiry, card.service_code,
               kTrack1Discretionary, "?"});
}

std::string TestTrack2(const TestCard& card) {
  return Join({";", card.pan, "=", card.expiry, card.service_code, kTrack2Discretionary, "?"});
}

char LuhnCheckDigit(std::string_view digits) {
  // Counted from the right, the check digit's neighbour is the first one doubled.
  int sum = 0;
  bool doubled = true;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int digit = *it - '0';
    if (doubled) digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
    sum += digit;
    doubled = !doubled;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string TestPan(size_t length) {
  length = std::clamp<size_t>(length, 12, 19);
  std::string pan = "4" + std::string(length - 2, '1');
  pan += LuhnCheckDigit(pan);
  return pan;
}

}  // namespace usborva
