// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_WITNESS_H_
#define USBORVA_SCENARIO_WITNESS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "usborva/forwarding_event_sink.h"
#include "usborva/scenario.h"

namespace usborva::scenario {

// What a failed expectation's message says came instead of what it awaited: the host's
// feature reports or the control's events, the first few of them.

// How many are named; the rest are counted.
inline constexpr size_t kWitnessesShown = 3;
// At most this many bytes of a report are shown.
inline constexpr size_t kShownReportBytes = 8;

// A report as sent, in spaced hex, without the zero bytes that pad it to the feature length
// (but at least as long as the pattern it failed, so a zero that mattered shows), and cut to
// kShownReportBytes: "0E 01", "0A 02 11 22 33 44 55 66 ...".
std::string ShownReport(std::span<const uint8_t> report, size_t pattern_size);
// An event with its byte arguments, as a scenario writes it: "DeviceStatusChanged 1 0 0".
std::string ShownEvent(const RaisedEvent& event);
// "the host sent none", "the control raised none".
std::string NoneWitnessed(Expectation::Kind kind);
// "the host sent 0E 01, 0E 02, 09 and 2 more instead": shown holds the first few, count
// says how many came.
std::string OthersWitnessed(Expectation::Kind kind, const std::vector<std::string>& shown,
                            size_t count);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_WITNESS_H_
