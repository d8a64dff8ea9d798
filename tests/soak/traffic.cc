// SPDX-License-Identifier: Apache-2.0
#include "traffic.h"

#include <string>
#include <vector>

namespace usborva::soak {
namespace {

using Kind = Expectation::Kind;

constexpr uint8_t kCardStatusSwipe = 0xFE;  // card-type byte that opens a swipe

std::array<uint8_t, 3> Low3(uint64_t sequence) {
  return {static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8),
          static_cast<uint8_t>(sequence >> 16)};
}

// n bytes that spell the sequence number, then a salt, so each report's binary fields are
// its own.
std::vector<uint8_t> SequenceBytes(uint64_t sequence, size_t n, uint8_t salt) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) {
    bytes[i] = i < 8 ? static_cast<uint8_t>(sequence >> (8 * i)) : static_cast<uint8_t>(salt + i);
  }
  return bytes;
}

String Widen(const std::string& text) { return String(text.begin(), text.end()); }

// Track texts shaped like real ones, with the sequence number where the discretionary data
// goes. Never printed.
std::string TrackText(uint8_t type, uint64_t sequence) {
  const std::string n = std::to_string(sequence);
  switch (type) {
    case sim::kCardItemTrack1:
      return "%B6011000990139424^SOAK/TEST R^2812101" + n + "?";
    case sim::kCardItemTrack2:
      return ";6011000990139424=2812101" + n + "?";
    default:
      return ";011234567890123445=724724100000000000030300XXXX" + n + "?";
  }
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kDeviceStatus:
      return "DeviceStatusChanged";
    case Kind::kCardStatus:
      return "CardStatusChanged";
    case Kind::kCardItem:
      return "card-data item";
    case Kind::kCardDataChanged:
      return "CardDataChanged";
    case Kind::kCardDataError:
      return "CardDataError";
    case Kind::kPINResponse:
      return "PINResponse";
    case Kind::kSelectResponse:
      return "SelectResponse";
    case Kind::kDisplayDone:
      return "DisplayDone";
  }
  return "?";
}

String Hex(std::span<const uint8_t> bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  String text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

uint64_t Traffic::Random() {
  // splitmix64: fast, and the same run on every machine.
  uint64_t z = (random_state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

SentReport Traffic::Next() {
  const uint64_t sequence = sequence_++;
  if (!swipe_items_.empty()) {
    const uint8_t item = swipe_items_.front();
    swipe_items_.pop_front();
    return MakeSwipeReport(sequence, item);
  }
  return Make(sequence);
}

void Traffic::StartSwipe() {
  // Track 3 and the sigil are often absent on real cards.
  const uint64_t r = Random();
  for (uint8_t item = sim::kCardItemTrack1; item <= sim::kCardItemSigil; ++item) {
    const bool optional = item == sim::kCardItemTrack3 || item == sim::kCardItemEncTrack3 ||
                          item == sim::kCardItemSigil;
    if (!optional || (r >> item) & 1) swipe_items_.push_back(item);
  }
  swipe_items_.push_back(sim::kCardItemEnd);
}

SentReport Traffic::Make(uint64_t sequence) {
  SentReport sent;
  Expectation& e = sent.expect;
  e.sequence = sequence;
  e.args = Low3(sequence);
  const uint64_t pick = Random() % 100;
  if (pick < 20) {
    e.kind = Kind::kDeviceStatus;
    sent.report = sim::DeviceStatus(e.args[0], e.args[1], e.args[2]);
  } else if (pick < 30) {
    e.kind = Kind::kCardStatus;
    sent.report = sim::CardStatus(e.args[0], e.args[1], e.args[2]);
  } else if (pick < 55) {
    // A swipe: its card status now, its items on the following reports.
    e.kind = Kind::kCardStatus;
    e.args[2] = kCardStatusSwipe;
    sent.report = sim::CardStatus(e.args[0], e.args[1], e.args[2]);
    StartSwipe();
  } else if (pick < 70) {
    e.kind = Kind::kPINResponse;
    e.args = {e.args[0], 0, 0};
    const std::vector<uint8_t> ksn = SequenceBytes(sequence, 10, 0xA0);
    const std::vector<uint8_t> epb = SequenceBytes(~sequence, 8, 0);
    e.text = Hex(ksn);
    e.text2 = Hex(epb);
    sent.report = sim::PINResponse(e.args[0], ksn, epb);
  } else if (pick < 85) {
    e.kind = Kind::kSelectResponse;
    e.args[2] = 0;
    sent.report = sim::SelectResponse(e.args[0], e.args[1]);
  } else {
    e.kind = Kind::kDisplayDone;
    e.args = {e.args[0], 0, 0};
    sent.report = sim::DisplayDone(e.args[0]);
  }
  return sent;
}

SentReport Traffic::MakeSwipeReport(uint64_t sequence, uint8_t item_type) {
  SentReport sent;
  Expectation& e = sent.expect;
  e.sequence = sequence;
  if (item_type == sim::kCardItemEnd) {
    // One swipe in sixteen cannot be read and closes with an error status.
    const uint8_t status = Random() % 16 == 0 ? 1 : 0;
    const std::vector<uint8_t> ksn = SequenceBytes(sequence, 10, 0xE0);
    const uint32_t sigil_status = static_cast<uint32_t>(sequence % 100000000u);
    e.kind = status == 0 ? Kind::kCardDataChanged : Kind::kCardDataError;
    e.text2 = Hex(ksn);
    e.sigil_status = static_cast<int32_t>(sigil_status);
    sent.report = sim::CardDataEnd(status, ksn, sim::SigilStatusBytes(sigil_status));
    return sent;
  }
  e.kind = Kind::kCardItem;
  e.item_type = item_type;
  if (item_type <= sim::kCardItemTrack3) {
    const std::string text = TrackText(item_type, sequence);
    e.text = Widen(text);
    sent.report = sim::CardDataItem(item_type, text);
  } else {
    // Encrypted tracks are multiples of eight bytes; the sigil is shorter.
    const size_t n = item_type == sim::kCardItemSigil ? 12 : 8 * (1 + Random() % 12);
    const std::vector<uint8_t> data = SequenceBytes(sequence, n, item_type);
    e.text = Hex(data);
    sent.report = sim::CardDataItem(item_type, 0, data);
  }
  return sent;
}

}  // namespace usborva::soak
