// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_DIAGNOSTICS_H_
#define USBORVA_DIAGNOSTICS_H_

#include <cstdint>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

/// What a diagnostic line is about.
enum class DiagnosticTopic : int32_t {
  kOpen = 1,        ///< one open attempt on one device path, and its result
  kMatch = 2,       ///< the matching rules' verdict on one interface
  kRead = 3,        ///< a read that failed and gave the device up
  kConnection = 4,  ///< the poll loop reconnecting, or halting on a transport status
  kSystem = 5,      ///< an operating-system error the backend did not expect, with its context
  kFeature = 6,     ///< a feature exchange, or the open sequence, ended by a failure
};

/// The debug channel of the transport and the platform backends: what they did and why it
/// failed (open attempts per device path, matching verdicts, read errors, reconnection,
/// unexpected system errors). Off unless a sink is installed; with none, nothing is
/// formatted and the poll loop does no extra work.
///
/// A line never carries card data: no report contents, no feature payloads, no device
/// strings (serial numbers, product names). It does carry device paths, USB IDs and error
/// numbers, which is what a person needs to tell why the terminal is not used.
///
/// Threading: one sink per thread, as the device record is one per thread. Lines come on
/// the installing thread only, synchronously, from inside the transport.
class USBORVA_EXPORT DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  /// One line of text without a line feed; it is valid only during the call. Must not throw
  /// (the transport and the backends never do, and an exception here ends the program) and
  /// must not call into the control.
  virtual void Diagnostic(DiagnosticTopic topic, std::string_view text) = 0;
};

/// Installs sink for the calling thread (nullptr: the channel is off) and returns the sink
/// installed before, so a caller can put it back. The sink is not owned.
USBORVA_EXPORT DiagnosticSink* InstallThreadDiagnosticSink(DiagnosticSink* sink);

/// The topic's name in lower case ("open", "match", "read", "connection", "system",
/// "feature").
USBORVA_EXPORT std::string_view DiagnosticTopicName(DiagnosticTopic topic);

/// Installs a sink for the life of the guard, then puts the previous one back.
class USBORVA_EXPORT ScopedDiagnosticSink {
 public:
  /// Installs sink for the calling thread; it must outlive the guard.
  explicit ScopedDiagnosticSink(DiagnosticSink& sink)
      : previous_(InstallThreadDiagnosticSink(&sink)) {}
  ~ScopedDiagnosticSink() { InstallThreadDiagnosticSink(previous_); }
  ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
  ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

 private:
  DiagnosticSink* previous_;
};

}  // namespace usborva

#endif  // USBORVA_DIAGNOSTICS_H_
