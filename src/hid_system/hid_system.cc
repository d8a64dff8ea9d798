// SPDX-License-Identifier: Apache-2.0
#include "usborva/hid_system.h"

#include <atomic>

#include "platform/null/null_hid_system.h"

namespace usborva {
namespace {

std::atomic<HidSystemFactory> native_factory{nullptr};

thread_local HidSystem* installed = nullptr;
thread_local HidSystem* native = nullptr;

}  // namespace

HidSystem& ThreadHidSystem() {
  if (installed != nullptr) return *installed;
  if (native == nullptr) {
    // A factory set after this thread first looked still takes effect: only a system
    // actually made is kept.
    HidSystemFactory factory = native_factory.load(std::memory_order_acquire);
    if (factory != nullptr) native = factory();
  }
  if (native != nullptr) return *native;
  thread_local null::NullHidSystem no_devices;
  return no_devices;
}

HidSystem* InstallThreadHidSystem(HidSystem* system) {
  HidSystem* previous = installed;
  installed = system;
  return previous;
}

void SetNativeHidSystemFactory(HidSystemFactory factory) {
  native_factory.store(factory, std::memory_order_release);
}

}  // namespace usborva
