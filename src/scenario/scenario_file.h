// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_SCENARIO_FILE_H_
#define USBORVA_SCENARIO_SCENARIO_FILE_H_

#include <string>

namespace usborva::scenario {

// The text of a scenario file, or of standard input for "-". Only a regular file is read
// (opening a FIFO or a device neither blocks nor reads it), and no more than
// kMaxScenarioBytes of anything. Throws ScenarioError naming the file.
std::string ReadScenarioFile(const std::string& path);

// The name errors give standard input.
inline constexpr char kStdinName[] = "<stdin>";

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_SCENARIO_FILE_H_
