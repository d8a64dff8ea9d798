// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_SOAK_TRAFFIC_H_
#define USBORVA_TESTS_SOAK_TRAFFIC_H_

#include <array>
#include <cstdint>
#include <deque>
#include <span>

#include "usborva/simulated_hid_system.h"
#include "usborva/variant.h"

namespace usborva::soak {

// What the host must observe once the control has acted on one report.
struct Expectation {
  enum class Kind {
    kDeviceStatus,
    kCardStatus,
    kCardItem,  // silent: only a property changes
    kCardDataChanged,
    kCardDataError,
    kPINResponse,
    kSelectResponse,
    kDisplayDone,
  };
  Kind kind = Kind::kDisplayDone;
  uint64_t sequence = 0;          // the report's place in everything the terminal sent
  std::array<uint8_t, 3> args{};  // the event's byte arguments, in order
  uint8_t item_type = 0;          // kCardItem: 1-7
  String text;                    // kCardItem: the property's new value; kPINResponse: KSN
  String text2;                   // kPINResponse: EPB; kCardDataChanged: DUKPTKSN
  int32_t sigil_status = 0;       // kCardDataChanged
};

const char* KindName(Expectation::Kind kind);

struct SentReport {
  sim::Report report;
  Expectation expect;
};

// A deterministic terminal in constant use: status changes, card status, whole swipes (card
// status, the track, encrypted-track and sigil items, the closing item), PIN responses, key
// presses and display done. Every report carries bits of its own sequence number in the
// fields the host sees, so a lost, repeated or reordered report never passes for another.
class Traffic {
 public:
  explicit Traffic(uint64_t seed) : random_state_(seed) {}
  SentReport Next();
  uint64_t Random();

 private:
  SentReport Make(uint64_t sequence);
  SentReport MakeSwipeReport(uint64_t sequence, uint8_t item_type);
  void StartSwipe();

  uint64_t random_state_;
  uint64_t sequence_ = 0;
  std::deque<uint8_t> swipe_items_;  // item types still to come in the swipe under way
};

// Upper-case hex, two digits a byte, unseparated: what the host reads for binary fields.
String Hex(std::span<const uint8_t> bytes);

}  // namespace usborva::soak

#endif  // USBORVA_TESTS_SOAK_TRAFFIC_H_
