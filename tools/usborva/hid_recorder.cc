// SPDX-License-Identifier: Apache-2.0
#include "hid_recorder.h"

#include <algorithm>

namespace usborva::cli {

using std::chrono::milliseconds;

void HidRecorder::Start() {
  started_ = true;
  builder_.Start();
}

milliseconds HidRecorder::Now() const {
  return started_ && clock_ ? std::max(clock_(), milliseconds(0)) : milliseconds(0);
}

// The control reads, and exchanges feature reports, only with the terminal it holds; any
// device can be opened, asked its attributes or strings while the control looks for one.
void HidRecorder::Using(Handle device) {
  if (terminal_ == device) return;
  auto it = devices_.find(device);
  if (it == devices_.end()) return;
  terminal_ = device;
  if (described_) return builder_.Reconnected(it->second.opened_after);
  described_ = true;
  builder_.Terminal(it->second.terminal);
  for (const auto& [key, text] : it->second.strings) builder_.String(key.first, key.second, text);
}

Handle HidRecorder::SetupDiGetClassDevsA(const Guid& class_guid, uint32_t flags) {
  builder_.Look(Now());
  return HidSystemWrapper::SetupDiGetClassDevsA(class_guid, flags);
}

Handle HidRecorder::CreateFileA(const char* path, uint32_t access, uint32_t share,
                                const SecurityAttributes* security, uint32_t disposition,
                                uint32_t flags) {
  const milliseconds after = builder_.LookBefore(Now());
  const Handle device =
      HidSystemWrapper::CreateFileA(path, access, share, security, disposition, flags);
  if (device != kInvalidHandleValue && path != nullptr) {
    Device& seen = devices_[device];
    seen = Device{};
    seen.terminal.path = path;
    seen.terminal.read_write = (access & kGenericRead) != 0;
    seen.opened_after = after;
  }
  return device;
}

bool HidRecorder::HidD_GetAttributes(Handle device, HidAttributes* attributes) {
  const bool ok = HidSystemWrapper::HidD_GetAttributes(device, attributes);
  if (auto it = devices_.find(device); ok && attributes != nullptr && it != devices_.end()) {
    it->second.terminal.attributes = *attributes;
  }
  return ok;
}

bool HidRecorder::HidD_GetPreparsedData(Handle device, Handle* preparsed) {
  const bool ok = HidSystemWrapper::HidD_GetPreparsedData(device, preparsed);
  if (ok && preparsed != nullptr) preparsed_[*preparsed] = device;
  return ok;
}

bool HidRecorder::HidD_FreePreparsedData(Handle preparsed) {
  preparsed_.erase(preparsed);
  return HidSystemWrapper::HidD_FreePreparsedData(preparsed);
}

uint32_t HidRecorder::HidP_GetCaps(Handle preparsed, HidCaps* caps) {
  const uint32_t status = HidSystemWrapper::HidP_GetCaps(preparsed, caps);
  if (status != kHidpStatusSuccess || caps == nullptr) return status;
  if (auto owner = preparsed_.find(preparsed); owner != preparsed_.end()) {
    if (auto it = devices_.find(owner->second); it != devices_.end()) {
      it->second.terminal.caps = *caps;
    }
  }
  return status;
}

bool HidRecorder::ResetEvent(Handle event) {
  const milliseconds now = Now();
  const bool ok = HidSystemWrapper::ResetEvent(event);
  builder_.Look(now);
  if (!ok) builder_.ResetEventFailed(now);
  return ok;
}

bool HidRecorder::ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read,
                           uint32_t* bytes_read, Overlapped* overlapped) {
  const milliseconds now = Now();
  Using(device);
  const bool done =
      HidSystemWrapper::ReadFile(device, buffer, bytes_to_read, bytes_read, overlapped);
  if (done) {
    const uint32_t length =
        bytes_read != nullptr ? std::min(*bytes_read, bytes_to_read) : bytes_to_read;
    builder_.Report(now, std::span<const uint8_t>(buffer, length), true, Dropped());
    return true;
  }
  const uint32_t error = HidSystemWrapper::GetLastError();
  if (error == kErrorIoPending) {
    waiting_ = WaitingRead{overlapped, buffer, bytes_to_read};
    builder_.ReadWaiting(now);
  } else {
    builder_.ReadFailed(now, error, true);
  }
  return false;
}

bool HidRecorder::GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                      bool wait) {
  const milliseconds now = Now();
  const bool done = HidSystemWrapper::GetOverlappedResult(device, overlapped, bytes, wait);
  if (done) {
    if (waiting_.overlapped == overlapped && waiting_.buffer != nullptr) {
      const uint32_t length =
          bytes != nullptr ? std::min(*bytes, waiting_.length) : waiting_.length;
      builder_.Report(now, std::span<const uint8_t>(waiting_.buffer, length), false, Dropped());
    }
    waiting_ = WaitingRead{};
    return true;
  }
  const uint32_t error = HidSystemWrapper::GetLastError();
  if (error == kErrorIoIncomplete) {
    builder_.Look(now);
  } else {
    waiting_ = WaitingRead{};
    builder_.ReadFailed(now, error, false);
  }
  return false;
}

bool HidRecorder::CancelIo(Handle device) {
  waiting_ = WaitingRead{};
  return HidSystemWrapper::CancelIo(device);
}

bool HidRecorder::CloseHandle(Handle object) {
  devices_.erase(object);
  if (terminal_ == object) terminal_.reset();
  return HidSystemWrapper::CloseHandle(object);
}

uint8_t HidRecorder::HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) {
  const milliseconds now = Now();
  Using(device);
  const uint8_t ok = HidSystemWrapper::HidD_GetFeature(device, report, length);
  if (ok != 0 && report != nullptr) {
    builder_.FeatureGet(now, std::span<const uint8_t>(report, length), true, 0);
  } else {
    builder_.FeatureGet(now, {}, false, HidSystemWrapper::GetLastError());
  }
  return ok;
}

uint8_t HidRecorder::HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) {
  const milliseconds now = Now();
  Using(device);
  std::vector<uint8_t> sent;
  if (report != nullptr) sent.assign(report, report + length);
  const uint8_t ok = HidSystemWrapper::HidD_SetFeature(device, report, length);
  builder_.FeatureSet(now, sent, ok != 0, ok != 0 ? 0 : HidSystemWrapper::GetLastError());
  return ok;
}

// A string as the control reads it: UTF-16LE up to its first NUL or the buffer's end. A
// failure other than "no such string" (the device gone, a bad handle) says nothing of it.
void HidRecorder::StringRead(Handle device, RecordedString which, uint32_t index, bool ok,
                             const void* buffer, uint32_t length) {
  std::optional<std::u16string> text;
  if (ok && buffer != nullptr) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    text.emplace();
    for (uint32_t i = 0; i + 1 < length; i += 2) {
      const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
      if (unit == 0) break;
      text->push_back(unit);
    }
  } else if (ok || HidSystemWrapper::GetLastError() != kErrorGenFailure) {
    return;
  }
  auto it = devices_.find(device);
  if (it == devices_.end()) return;
  it->second.strings.push_back({{which, index}, text});
  if (terminal_ == device) builder_.String(which, index, std::move(text));
}

bool HidRecorder::HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) {
  const bool ok = HidSystemWrapper::HidD_GetSerialNumberString(device, buffer, length);
  StringRead(device, RecordedString::kSerialNumber, 0, ok, buffer, length);
  return ok;
}

bool HidRecorder::HidD_GetProductString(Handle device, void* buffer, uint32_t length) {
  const bool ok = HidSystemWrapper::HidD_GetProductString(device, buffer, length);
  StringRead(device, RecordedString::kProduct, 0, ok, buffer, length);
  return ok;
}

bool HidRecorder::HidD_GetIndexedString(Handle device, uint32_t index, void* buffer,
                                        uint32_t length) {
  const bool ok = HidSystemWrapper::HidD_GetIndexedString(device, index, buffer, length);
  StringRead(device, RecordedString::kIndexed, index, ok, buffer, length);
  return ok;
}

uint32_t HidRecorder::GetPrivateProfileStringA(const char* section, const char* key,
                                               const char* default_value, char* buffer,
                                               uint32_t size, const char* file_name) {
  const uint32_t copied = HidSystemWrapper::GetPrivateProfileStringA(section, key, default_value,
                                                                     buffer, size, file_name);
  if (section != nullptr && key != nullptr && buffer != nullptr && size > 0) {
    builder_.ConfigValue(section, key, default_value != nullptr ? default_value : "",
                         std::string(buffer, std::min(copied, size - 1)));
  }
  return copied;
}

}  // namespace usborva::cli
