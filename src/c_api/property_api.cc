// SPDX-License-Identifier: Apache-2.0
// Property gets and puts by member name, one pair per type class.
#include <utility>

#include "c_api/handles.h"
#include "c_api/members.h"
#include "usborva/usborva_c.h"

using usborva::c_api::CallControl;
using usborva::c_api::FindMember;
using usborva::c_api::InterfaceError;
using usborva::c_api::Require;
using usborva::c_api::ValueOf;

extern "C" {

int32_t usborva_property_count(void) {
  return static_cast<int32_t>(usborva::c_api::Members().size());
}

int32_t usborva_property_name(int32_t index, const char** name) {
  return usborva::c_api::CallFree([&] {
    Require(name);
    if (index < 0 || index >= usborva_property_count()) {
      throw InterfaceError(USBORVA_E_INVALID_ARGUMENT);
    }
    *name = usborva::c_api::Members()[static_cast<size_t>(index)].name;
  });
}

int32_t usborva_property_type(const char* name, int32_t* type) {
  return usborva::c_api::CallFree([&] {
    Require(name);
    Require(type);
    for (const usborva::c_api::Member& member : usborva::c_api::Members()) {
      if (std::string_view(member.name) == name) {
        *type = member.type;
        return;
      }
    }
    throw InterfaceError(USBORVA_E_BAD_NAME);
  });
}

int32_t usborva_get_string(usborva_control* control, const char* name, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_STRING);
    Require(out);
    const usborva::c_api::WipedString value{(c.*member.get_string)()};
    *out = usborva::c_api::TextOut(value.text);
  });
}

int32_t usborva_put_string(usborva_control* control, const char* name, const char* value) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_STRING);
    const usborva::c_api::WipedString text{usborva::c_api::TextIn(value)};
    (c.*member.put_string)(text.text);
  });
}

int32_t usborva_get_long(usborva_control* control, const char* name, int32_t* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_LONG);
    Require(out);
    *out = (c.*member.get_long)();
  });
}

int32_t usborva_put_long(usborva_control* control, const char* name, int32_t value) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    (c.*FindMember(name, USBORVA_TYPE_LONG).put_long)(value);
  });
}

int32_t usborva_get_byte(usborva_control* control, const char* name, uint8_t* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_BYTE);
    Require(out);
    *out = (c.*member.get_byte)();
  });
}

int32_t usborva_put_byte(usborva_control* control, const char* name, uint8_t value) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    (c.*FindMember(name, USBORVA_TYPE_BYTE).put_byte)(value);
  });
}

int32_t usborva_get_bool(usborva_control* control, const char* name, int* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_BOOLEAN);
    Require(out);
    *out = (c.*member.get_bool)() ? 1 : 0;
  });
}

int32_t usborva_put_bool(usborva_control* control, const char* name, int value) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    (c.*FindMember(name, USBORVA_TYPE_BOOLEAN).put_bool)(value != 0);
  });
}

int32_t usborva_get_value(usborva_control* control, const char* name, usborva_value* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_VARIANT);
    usborva::Variant& target = ValueOf(out);
    target = (c.*member.get_variant)();
  });
}

int32_t usborva_put_value(usborva_control* control, const char* name, const usborva_value* value) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const auto& member = FindMember(name, USBORVA_TYPE_VARIANT);
    (c.*member.put_variant)(ValueOf(value));
  });
}

}  // extern "C"
