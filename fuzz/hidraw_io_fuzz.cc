// SPDX-License-Identifier: Apache-2.0
// What the kernel hands the hidraw backend: the bytes and counts of read() and of
// HIDIOCGFEATURE laid into the caller's buffers by a device's report descriptor, and the
// sysfs texts (uevent, hex numbers) read during enumeration.
//
// Input: byte 0 picks the descriptor's length (the next bytes); then records of
// [kind][count][bytes...] until the input ends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/hidraw/hidraw_device.h"
#include "platform/hidraw/report_buffers.h"
#include "platform/hidraw/sysfs.h"
#include "platform/hidraw/unplug_signal.h"

namespace {

using usborva::hidraw::CompleteFeatureAnswer;
using usborva::hidraw::CompleteInputRead;
using usborva::hidraw::InputReadOffset;

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kSlack = 16;

// A buffer of length bytes with guard bytes after it that nothing may touch.
struct Guarded {
  explicit Guarded(size_t length) : bytes(length + kSlack, kGuard), length(length) {}
  void Check() const {
    for (size_t i = length; i < bytes.size(); ++i) {
      if (bytes[i] != kGuard) __builtin_trap();
    }
  }
  std::vector<uint8_t> bytes;
  size_t length;
};

// A read() that returned claimed (possibly more than it could have) after putting data.
void Input(uint32_t report_length, bool numbered, std::string_view data, size_t claimed) {
  if (report_length == 0) return;
  Guarded buffer(report_length);
  const size_t offset = InputReadOffset(numbered);
  const size_t room = report_length - offset;
  std::memcpy(buffer.bytes.data() + offset, data.data(), std::min(room, data.size()));
  const size_t filled = CompleteInputRead(buffer.bytes.data(), report_length, numbered, claimed);
  if (filled > report_length) __builtin_trap();
  if (!numbered && buffer.bytes[0] != 0) __builtin_trap();
  buffer.Check();
}

// An HIDIOCGFEATURE answer with any count, negative and oversized ones included.
void Feature(uint32_t length, bool unnumbered, std::string_view data, long count) {
  if (length == 0) return;
  Guarded report(length);
  std::memcpy(report.bytes.data(), data.data(), std::min<size_t>(length, data.size()));
  CompleteFeatureAnswer(report.bytes.data(), length, count, unnumbered);
  const size_t answered = count <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(count), length);
  for (size_t i = std::max<size_t>(answered, 1); i < length; ++i) {
    if (report.bytes[i] != 0) __builtin_trap();  // no stale bytes past the answer
  }
  if (unnumbered && report.bytes[0] != 0) __builtin_trap();
  report.Check();
}

void Sysfs(std::string_view text) {
  usborva::hidraw::ParseHidUevent(text);
  uint32_t value = 0x12345678;
  if (!usborva::hidraw::ParseHexField(text, &value) && value != 0x12345678) __builtin_trap();
  usborva::hidraw::UnplugSignalOfRelease(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t descriptor_size = std::min<size_t>(data[0], size - 1);
  const std::vector<uint8_t> descriptor(data + 1, data + 1 + descriptor_size);
  const usborva::hidraw::ParsedDescriptor parsed =
      usborva::hidraw::ParseDescriptorBytes(descriptor);
  const uint32_t input_length = parsed.caps.InputReportByteLength;
  const uint32_t feature_length = parsed.caps.FeatureReportByteLength;
  const bool numbered = parsed.caps.numbered;

  size_t at = 1 + descriptor_size;
  while (at + 2 <= size) {
    const uint8_t kind = data[at];
    const uint8_t count = data[at + 1];
    at += 2;
    const size_t take = std::min<size_t>(count, size - at);
    const std::string_view bytes(reinterpret_cast<const char*>(data + at), take);
    at += take;
    switch (kind % 4) {
      case 0:
        Input(input_length, numbered, bytes, count * (kind >> 2));
        break;
      case 1:
        Feature(feature_length, !numbered, bytes, static_cast<long>(count) - (kind >> 2) * 64);
        break;
      case 2:
        Input(kind, (kind & 0x80) != 0, bytes, count);
        break;
      default:
        Sysfs(bytes);
        break;
    }
  }
  return 0;
}
