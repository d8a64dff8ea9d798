// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cstring>

#include "platform/simulated/simulated_hid_system.h"
#include "platform/simulated/terminal_model.h"

namespace usborva::simulated {

using sim::Fault;
using sim::Op;

void Machine::Log(FeatureExchange exchange) {
  feature_log_.push_back(std::move(exchange));
  if (feature_log_.size() > kLogDepth) feature_log_.pop_front();
}

uint8_t Machine::Feature(bool get, Handle device, uint8_t* report, uint32_t length) {
  bool failing = BeginCall(get ? Op::kGetFeature : Op::kSetFeature);
  FeatureExchange exchange;
  exchange.get = get;
  if (const HandleEntry* entry = Find(device, sim::HandleKind::kDevice)) {
    exchange.interface_id = entry->interface_id;
  }
  if (report != nullptr) exchange.sent.assign(report, report + length);
  const HandleEntry* entry = failing ? nullptr : LiveDevice(device);
  if (failing) Fail(kErrorGenFailure);
  if (entry == nullptr) {
    Log(std::move(exchange));
    return 0;
  }
  InterfaceState& state = interfaces_[entry->interface_id];
  size_t caps_length = static_cast<size_t>(std::max<int16_t>(state.spec.feature_report_length, 0));
  std::optional<std::vector<uint8_t>> answer;
  if ((entry->access & (get ? kGenericRead : kGenericWrite)) == 0) {
    Fail(kErrorAccessDenied);
  } else if (FaultOn(entry->interface_id, get ? Fault::kGetFeature : Fault::kSetFeature)) {
    Fail(kErrorGenFailure);
  } else if (report == nullptr || caps_length == 0 || length < caps_length) {
    Fail(kErrorInvalidParameter);
  } else if (!get) {
    exchange.ok = true;
  } else if ((answer = sim::AnswerGetFeature(state.spec.terminal, report[0], caps_length))) {
    std::memcpy(report, answer->data(), caps_length);
    exchange.answer = std::move(*answer);
    exchange.ok = true;
  } else {
    Fail(kErrorInvalidParameter);  // the terminal has no such report
  }
  bool ok = exchange.ok;
  InterfaceId id = entry->interface_id;
  Log(std::move(exchange));
  if (ok && !get) {
    std::span<const uint8_t> sent(report, caps_length);
    sim::ApplySetFeature(state.spec.terminal, sent);
    if (set_hook_) set_hook_(id, sent);
  }
  return ok ? 1 : 0;
}

uint8_t Machine::HidD_GetFeature(Handle device, uint8_t* report, uint32_t length) {
  return Feature(true, device, report, length);
}

uint8_t Machine::HidD_SetFeature(Handle device, uint8_t* report, uint32_t length) {
  return Feature(false, device, report, length);
}

bool Machine::DeviceString(Op op, Handle device, uint32_t string_index, void* buffer,
                           uint32_t length) {
  if (BeginCall(op)) return Fail(kErrorGenFailure);
  const HandleEntry* entry = LiveDevice(device);
  if (entry == nullptr) return false;
  const sim::InterfaceSpec& spec = interfaces_[entry->interface_id].spec;
  const std::u16string* text = nullptr;
  if (op == Op::kGetSerialNumberString && spec.serial_number) text = &*spec.serial_number;
  if (op == Op::kGetProductString && spec.product_string) text = &*spec.product_string;
  if (op == Op::kGetIndexedString) {
    auto it = spec.indexed_strings.find(string_index);
    if (it != spec.indexed_strings.end()) text = &it->second;
  }
  if (text == nullptr) return Fail(kErrorGenFailure);  // the device has no such string
  if (buffer == nullptr) return Fail(kErrorInvalidParameter);
  // UTF-16LE, cut to the buffer; NUL-terminated only when there is room for the NUL.
  auto* out = static_cast<uint8_t*>(buffer);
  size_t units = std::min<size_t>(text->size(), length / 2);
  for (size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<uint8_t>((*text)[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>((*text)[i] >> 8);
  }
  if (2 * units + 2 <= length) out[2 * units] = out[2 * units + 1] = 0;
  return true;
}

bool Machine::HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t length) {
  return DeviceString(Op::kGetSerialNumberString, device, 0, buffer, length);
}

bool Machine::HidD_GetProductString(Handle device, void* buffer, uint32_t length) {
  return DeviceString(Op::kGetProductString, device, 0, buffer, length);
}

bool Machine::HidD_GetIndexedString(Handle device, uint32_t string_index, void* buffer,
                                    uint32_t length) {
  return DeviceString(Op::kGetIndexedString, device, string_index, buffer, length);
}

}  // namespace usborva::simulated
