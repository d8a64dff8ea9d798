// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_PROCESS_GUARD_H_
#define USBORVA_TOOLS_PROCESS_GUARD_H_

namespace usborva::cli {

// A crash dump of the tool would hold card numbers and tracks several times over (the
// control's properties, the reports, the printed lines). Sets the core-file limit to zero
// and, on Linux, marks the process not dumpable, which also keeps other processes of the
// same user from reading its memory. Called first thing in main.
void DisableCoreDumps();

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_PROCESS_GUARD_H_
