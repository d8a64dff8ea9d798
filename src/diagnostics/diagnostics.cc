// SPDX-License-Identifier: Apache-2.0
#include "diagnostics/diagnostics.h"

namespace usborva {
namespace {

thread_local DiagnosticSink* t_sink = nullptr;
thread_local uint64_t t_dropped = 0;

}  // namespace

DiagnosticSink* InstallThreadDiagnosticSink(DiagnosticSink* sink) {
  DiagnosticSink* previous = t_sink;
  t_sink = sink;
  return previous;
}

std::string_view DiagnosticTopicName(DiagnosticTopic topic) {
  switch (topic) {
    case DiagnosticTopic::kOpen:
      return "open";
    case DiagnosticTopic::kMatch:
      return "match";
    case DiagnosticTopic::kRead:
      return "read";
    case DiagnosticTopic::kConnection:
      return "connection";
    case DiagnosticTopic::kSystem:
      return "system";
    case DiagnosticTopic::kFeature:
      return "feature";
  }
  return "other";
}

namespace diagnostics {

bool Enabled() { return t_sink != nullptr; }

void Record(DiagnosticTopic topic, std::string_view text) noexcept {
  if (t_sink != nullptr) t_sink->Diagnostic(topic, text);
}

uint64_t DroppedLines() { return t_dropped; }

void CountDroppedLine() { ++t_dropped; }

}  // namespace diagnostics
}  // namespace usborva
