// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_REPORT_LINES_H_
#define USBORVA_SCENARIO_REPORT_LINES_H_

#include <cstddef>
#include <span>
#include <string>

#include "usborva/simulated_hid_system.h"

namespace usborva::scenario {

// The lines that send reports, in order, all at one moment, on a terminal whose input
// reports are input_length bytes: each report as the directive that builds exactly its
// bytes (a card status, seven data items and an end item as one swipe), or as a raw
// `report` line. Every line ends in a line feed.
std::string ReportLines(std::span<const sim::Report> reports, size_t input_length);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_REPORT_LINES_H_
