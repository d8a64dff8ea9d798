// SPDX-License-Identifier: Apache-2.0
#include "usborva/hid_system.h"

namespace usborva {
namespace {

thread_local HidSystem* installed = nullptr;

}  // namespace

HidSystem& ThreadHidSystem() { return installed != nullptr ? *installed : NativeHidSystem(); }

HidSystem* InstallThreadHidSystem(HidSystem* system) {
  HidSystem* previous = installed;
  installed = system;
  return previous;
}

}  // namespace usborva
