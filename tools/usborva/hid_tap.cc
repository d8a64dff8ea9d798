// SPDX-License-Identifier: Apache-2.0
#include "hid_tap.h"

namespace usborva::cli {

Handle HidTap::CreateFileA(const char* path, uint32_t access, uint32_t share,
                           const SecurityAttributes* security, uint32_t disposition,
                           uint32_t flags) {
  const Handle device =
      HidSystemWrapper::CreateFileA(path, access, share, security, disposition, flags);
  if (device != kInvalidHandleValue && path != nullptr) opened_path_ = paths_[device] = path;
  return device;
}

uint32_t HidTap::HidP_GetCaps(Handle preparsed, HidCaps* caps) {
  const uint32_t status = HidSystemWrapper::HidP_GetCaps(preparsed, caps);
  if (status == kHidpStatusSuccess && caps != nullptr) caps_ = *caps;
  return status;
}

// The control reads only from the terminal it holds, so the first read on a handle means
// that terminal is (again) connected.
void HidTap::Reading(Handle device) {
  if (reading_ == device) return;
  reading_ = device;
  auto path = paths_.find(device);
  device_path_ = path != paths_.end() ? path->second : std::string();
  connected_ = true;
  Tell(++connections_ == 1 ? Change::kConnected : Change::kReconnected);
}

void HidTap::Completed() {
  ++reports_;
  Tell(Change::kReport);
}

void HidTap::Failed() {
  if (!connected_) return;
  connected_ = false;
  Tell(Change::kLost);
}

bool HidTap::ReadFile(Handle device, uint8_t* buffer, uint32_t bytes_to_read, uint32_t* bytes_read,
                      Overlapped* overlapped) {
  Reading(device);
  const bool done =
      HidSystemWrapper::ReadFile(device, buffer, bytes_to_read, bytes_read, overlapped);
  if (done) {
    Completed();
  } else if (HidSystemWrapper::GetLastError() != kErrorIoPending) {
    Failed();
  }
  return done;
}

bool HidTap::GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes,
                                 bool wait) {
  const bool done = HidSystemWrapper::GetOverlappedResult(device, overlapped, bytes, wait);
  if (done) {
    Completed();
  } else if (HidSystemWrapper::GetLastError() != kErrorIoIncomplete) {
    Failed();
  }
  return done;
}

bool HidTap::CloseHandle(Handle object) {
  paths_.erase(object);
  if (reading_ == object) reading_.reset();
  return HidSystemWrapper::CloseHandle(object);
}

}  // namespace usborva::cli
