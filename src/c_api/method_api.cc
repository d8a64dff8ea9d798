// SPDX-License-Identifier: Apache-2.0
// The control's methods, one C function each, with the by-reference parameters read
// before the call and written back after it.
#include "c_api/handles.h"
#include "usborva/usborva_c.h"

using usborva::String;
using usborva::Variant;
using usborva::c_api::CallControl;
using usborva::c_api::MaybeTextOut;
using usborva::c_api::Require;
using usborva::c_api::TextIn;
using usborva::c_api::ValueOf;

namespace {

// A method result of card data: handed out, then overwritten.
void CardTextOut(String text, char** out) {
  try {
    MaybeTextOut(text, out);
  } catch (...) {
    usborva::c_api::Wipe(text);
    throw;
  }
  usborva::c_api::Wipe(text);
}

using TrackMethod = String (usborva::USBORVA::*)(int16_t&);
using NameMethod = String (usborva::USBORVA::*)();
using FindMethod = String (usborva::USBORVA::*)(int16_t, String, int16_t, String, Variant&);
using FindMethodShort = String (usborva::USBORVA::*)(int16_t, String, int16_t, String);
using FeatureMethod = int32_t (usborva::USBORVA::*)(String, Variant&);

int32_t GetTrack(usborva_control* control, TrackMethod method, int16_t* track_num, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    Require(track_num);
    int16_t number = *track_num;
    String text = (c.*method)(number);
    *track_num = number;
    CardTextOut(std::move(text), out);
  });
}

int32_t GetName(usborva_control* control, NameMethod method, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) { CardTextOut((c.*method)(), out); });
}

int32_t Find(usborva_control* control, FindMethod method, FindMethodShort short_method,
             int16_t track_num, const char* ref_char, int16_t displacement, const char* num_digits,
             usborva_value* direction_back, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    String ref = TextIn(ref_char);
    String digits = TextIn(num_digits);
    if (direction_back == nullptr) {
      CardTextOut((c.*short_method)(track_num, ref, displacement, digits), out);
      return;
    }
    Variant& direction = ValueOf(direction_back);
    CardTextOut((c.*method)(track_num, ref, displacement, digits, direction), out);
  });
}

int32_t Feature(usborva_control* control, FeatureMethod method, const char* command,
                usborva_value* output, int32_t* result) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    String text = TextIn(command);
    Variant scratch;
    Variant& data = output == nullptr ? scratch : ValueOf(output);
    const int32_t exchanged = (c.*method)(text, data);
    if (result != nullptr) *result = exchanged;
  });
}

}  // namespace

extern "C" {

int32_t usborva_get_track(usborva_control* control, int16_t* track_num, char** out) {
  return GetTrack(control, &usborva::USBORVA::GetTrack, track_num, out);
}

int32_t usborva_get_track_masked(usborva_control* control, int16_t* track_num, char** out) {
  return GetTrack(control, &usborva::USBORVA::GetTrackMasked, track_num, out);
}

int32_t usborva_get_fname(usborva_control* control, char** out) {
  return GetName(control, &usborva::USBORVA::GetFName, out);
}

int32_t usborva_get_lname(usborva_control* control, char** out) {
  return GetName(control, &usborva::USBORVA::GetLName, out);
}

int32_t usborva_get_fname_masked(usborva_control* control, char** out) {
  return GetName(control, &usborva::USBORVA::GetFNameMasked, out);
}

int32_t usborva_get_lname_masked(usborva_control* control, char** out) {
  return GetName(control, &usborva::USBORVA::GetLNameMasked, out);
}

int32_t usborva_find_element(usborva_control* control, int16_t track_num, const char* ref_char,
                             int16_t displacement, const char* num_digits,
                             usborva_value* direction_back, char** out) {
  return Find(control, &usborva::USBORVA::FindElement, &usborva::USBORVA::FindElement, track_num,
              ref_char, displacement, num_digits, direction_back, out);
}

int32_t usborva_find_element_masked(usborva_control* control, int16_t track_num,
                                    const char* ref_char, int16_t displacement,
                                    const char* num_digits, usborva_value* direction_back,
                                    char** out) {
  return Find(control, &usborva::USBORVA::FindElementMasked, &usborva::USBORVA::FindElementMasked,
              track_num, ref_char, displacement, num_digits, direction_back, out);
}

int32_t usborva_get_def_setting(usborva_control* control, const char* key,
                                const usborva_value* str_default, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    String key_text = TextIn(key);
    const Variant missing = Variant::Missing();
    const Variant& fallback = str_default == nullptr ? missing : ValueOf(str_default);
    MaybeTextOut(c.GetDefSetting(key_text, fallback), out);
  });
}

int32_t usborva_save_def_setting(usborva_control* control, const char* key, const char* setting,
                                 char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    String key_text = TextIn(key);
    String setting_text = TextIn(setting);
    MaybeTextOut(c.SaveDefSetting(key_text, setting_text), out);
  });
}

int32_t usborva_clear_buffer(usborva_control* control, int16_t* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    const int16_t result = c.ClearBuffer();
    if (out != nullptr) *out = result;
  });
}

int32_t usborva_about(usborva_control* control, char** out) {
  return CallControl(control, [&](usborva::USBORVA& c) { MaybeTextOut(c.About(), out); });
}

int32_t usborva_interpret_msg(usborva_control* control, const char* text, int* out) {
  return CallControl(control, [&](usborva::USBORVA& c) {
    String message = TextIn(text);
    const bool result = c.InterpretMsg(message);
    if (out != nullptr) *out = result ? 1 : 0;
  });
}

int32_t usborva_get_feature_report(usborva_control* control, const char* command,
                                   usborva_value* output, int32_t* result) {
  return Feature(control, &usborva::USBORVA::GetFeatureReport, command, output, result);
}

int32_t usborva_set_feature_report(usborva_control* control, const char* command,
                                   usborva_value* output, int32_t* result) {
  return Feature(control, &usborva::USBORVA::SetFeatureReport, command, output, result);
}

}  // extern "C"
