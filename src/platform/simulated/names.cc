// SPDX-License-Identifier: Apache-2.0
#include <array>

#include "usborva/simulated_hid_system.h"

namespace usborva::sim {
namespace {

constexpr auto kFaultNames = std::to_array<std::string_view>(
    {"class-devs", "create-event", "reset-event", "detail-size", "read-write-access", "open",
     "attributes", "preparsed-data", "caps", "get-feature", "set-feature", "read-file"});
// One name per fault, no more: a fault added without its name stops the build here.
static_assert(kFaultNames.size() == kFaultCount);

constexpr auto kOpNames = std::to_array<std::string_view>({
    "HidD_GetHidGuid",
    "SetupDiGetClassDevsA",
    "SetupDiEnumDeviceInterfaces",
    "SetupDiGetDeviceInterfaceDetailA",
    "SetupDiDestroyDeviceInfoList",
    "CreateFileA",
    "HidD_GetAttributes",
    "HidD_GetPreparsedData",
    "HidD_FreePreparsedData",
    "HidP_GetCaps",
    "CreateEventA",
    "ResetEvent",
    "ReadFile",
    "GetOverlappedResult",
    "CancelIo",
    "CloseHandle",
    "HidD_GetFeature",
    "HidD_SetFeature",
    "HidD_GetSerialNumberString",
    "HidD_GetProductString",
    "HidD_GetIndexedString",
    "GetPrivateProfileStringA",
});
// One name per operation, no more.
static_assert(kOpNames.size() == kOpCount);

// In the order of the enumeration.
constexpr auto kQueuePolicyNames = std::to_array<std::string_view>({"windows", "linux"});
static_assert(static_cast<size_t>(QueuePolicy::kLinux) + 1 == kQueuePolicyNames.size());

}  // namespace

std::string_view FaultName(Fault fault) { return kFaultNames.at(static_cast<size_t>(fault)); }

std::optional<Fault> FaultFromName(std::string_view name) {
  for (size_t i = 0; i < kFaultNames.size(); ++i) {
    if (kFaultNames[i] == name) return static_cast<Fault>(i);
  }
  return std::nullopt;
}

std::string_view OpName(Op op) { return kOpNames.at(static_cast<size_t>(op)); }

std::string_view QueuePolicyName(QueuePolicy policy) {
  return kQueuePolicyNames.at(static_cast<size_t>(policy));
}

std::optional<QueuePolicy> QueuePolicyFromName(std::string_view name) {
  for (size_t i = 0; i < kQueuePolicyNames.size(); ++i) {
    if (kQueuePolicyNames[i] == name) return static_cast<QueuePolicy>(i);
  }
  return std::nullopt;
}

}  // namespace usborva::sim
