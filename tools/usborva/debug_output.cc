// SPDX-License-Identifier: Apache-2.0
#include "debug_output.h"

#include <cstdlib>
#include <string_view>

namespace usborva::cli {
namespace {

bool DebugRequested() {
  const char* value = std::getenv("USBORVA_DEBUG");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

// Writes through the guarded stream, so a line passes the same masking as everything else
// the tool prints. A stream whose buffer fails sets its bad bit rather than throwing.
class StreamLines final : public DiagnosticSink {
 public:
  explicit StreamLines(std::ostream& err) : err_(err) {}
  void Diagnostic(DiagnosticTopic topic, std::string_view text) override {
    err_ << "usborva: debug: " << DiagnosticTopicName(topic) << ": " << text << "\n";
  }

 private:
  std::ostream& err_;
};

}  // namespace

DebugOutput::DebugOutput(std::ostream& err) {
  if (!DebugRequested()) return;
  sink_ = std::make_unique<StreamLines>(err);
  installed_ = std::make_unique<ScopedDiagnosticSink>(*sink_);
}

DebugOutput::~DebugOutput() = default;

}  // namespace usborva::cli
