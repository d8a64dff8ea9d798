// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_DIAGNOSTICS_DIAGNOSTICS_H_
#define USBORVA_DIAGNOSTICS_DIAGNOSTICS_H_

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "usborva/diagnostics.h"

namespace usborva::diagnostics {

// Whether the calling thread has a sink: callers test this before they format anything, so
// the channel costs nothing while it is off.
bool Enabled();

// Passes one line to the thread's sink; nothing when there is none.
void Record(DiagnosticTopic topic, std::string_view text) noexcept;

// Lines that could not be formatted for want of memory and were dropped, on this thread.
uint64_t DroppedLines();
void CountDroppedLine();

// Records the line make() formats, calling make only when the channel is on. A line that
// cannot be formatted for want of memory is dropped and counted: the transport never fails
// because its debug channel could not say something.
template <typename MakeText>
void Note(DiagnosticTopic topic, MakeText make) noexcept {
  if (!Enabled()) return;
  try {
    const std::string text = make();
    Record(topic, text);
  } catch (const std::bad_alloc&) {
    CountDroppedLine();
  }
}

}  // namespace usborva::diagnostics

#endif  // USBORVA_DIAGNOSTICS_DIAGNOSTICS_H_
