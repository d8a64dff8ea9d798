// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_DEBUG_OUTPUT_H_
#define USBORVA_TOOLS_DEBUG_OUTPUT_H_

#include <memory>
#include <ostream>

#include "usborva/diagnostics.h"

namespace usborva::cli {

// USBORVA_DEBUG=1 (any value but empty or 0): the transport's debug channel, one
// "usborva: debug: TOPIC: TEXT" line each, on the tool's guarded standard error, for as
// long as this lives. Otherwise nothing is installed and the channel stays off.
class DebugOutput {
 public:
  explicit DebugOutput(std::ostream& err);
  ~DebugOutput();
  DebugOutput(const DebugOutput&) = delete;
  DebugOutput& operator=(const DebugOutput&) = delete;

  bool on() const { return sink_ != nullptr; }

 private:
  std::unique_ptr<DiagnosticSink> sink_;
  std::unique_ptr<ScopedDiagnosticSink> installed_;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_DEBUG_OUTPUT_H_
