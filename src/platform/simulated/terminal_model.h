// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_SIMULATED_TERMINAL_MODEL_H_
#define USBORVA_PLATFORM_SIMULATED_TERMINAL_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "usborva/simulated_hid_system.h"

namespace usborva::sim {

// The terminal's answer to a Get of report_id, length bytes long; nullopt for a report it
// does not have.
std::optional<std::vector<uint8_t>> AnswerGetFeature(const TerminalModel& terminal,
                                                     uint8_t report_id, size_t length);
// What a Set does to the terminal's state.
void ApplySetFeature(TerminalModel& terminal, std::span<const uint8_t> report);

}  // namespace usborva::sim

#endif  // USBORVA_PLATFORM_SIMULATED_TERMINAL_MODEL_H_
