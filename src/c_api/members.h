// SPDX-License-Identifier: Apache-2.0
// The control's properties by member name, for the C interface's typed gets and puts.
#ifndef USBORVA_C_API_MEMBERS_H_
#define USBORVA_C_API_MEMBERS_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "usborva/usborva.h"

namespace usborva::c_api {

// One property: its name as the member is spelled, its USBORVA_TYPE_* class, and the
// control's get and put of that class (the others null).
struct Member {
  const char* name;
  int32_t type;
  String (USBORVA::*get_string)() const = nullptr;
  void (USBORVA::*put_string)(const String&) = nullptr;
  int32_t (USBORVA::*get_long)() const = nullptr;
  void (USBORVA::*put_long)(int32_t) = nullptr;
  uint8_t (USBORVA::*get_byte)() const = nullptr;
  void (USBORVA::*put_byte)(uint8_t) = nullptr;
  bool (USBORVA::*get_bool)() const = nullptr;
  void (USBORVA::*put_bool)(bool) = nullptr;
  Variant (USBORVA::*get_variant)() const = nullptr;
  void (USBORVA::*put_variant)(const Variant&) = nullptr;
};

// Every property, in the order of the control's default interface.
std::span<const Member> Members();

// The property called name (exact spelling); throws USBORVA_E_BAD_NAME, or
// USBORVA_E_WRONG_TYPE when it is not of class type.
const Member& FindMember(const char* name, int32_t type);

}  // namespace usborva::c_api

#endif  // USBORVA_C_API_MEMBERS_H_
