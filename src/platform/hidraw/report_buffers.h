// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_REPORT_BUFFERS_H_
#define USBORVA_PLATFORM_HIDRAW_REPORT_BUFFERS_H_

#include <cstddef>
#include <cstdint>

namespace usborva::hidraw {

// Where read() puts a report in the caller's buffer: at 0 for a device that numbers its
// reports (the kernel's byte 0 is the ID), at 1 otherwise (byte 0 becomes the zero ID).
inline size_t InputReadOffset(bool numbered) { return numbered ? 0 : 1; }

// Completes one report that read() put at InputReadOffset(numbered), claiming received
// bytes: sets the zero ID byte of an unnumbered device and returns the bytes of buffer the
// report fills, never more than report_length whatever the count says.
size_t CompleteInputRead(uint8_t* buffer, uint32_t report_length, bool numbered, size_t received);

// Completes a feature report the kernel answered into report (length bytes) with count:
// zeroes what the answer did not fill (a negative count fills nothing, a count past length
// fills it all) and, for a device that does not number its reports, sets byte 0 to 0.
void CompleteFeatureAnswer(uint8_t* report, uint32_t length, long count, bool unnumbered);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_REPORT_BUFFERS_H_
