# SPDX-License-Identifier: Apache-2.0
"""Loads libusborva and declares the C interface's functions for ctypes."""
import ctypes
import ctypes.util
import os

_c = ctypes
HOST = _c.c_void_p
CONTROL = _c.c_void_p
VALUE = _c.c_void_p
STATUS = _c.c_int32

EVENT_HANDLER = _c.CFUNCTYPE(None, _c.c_void_p, _c.c_void_p, _c.c_int32,
                             _c.POINTER(_c.c_uint8), _c.c_size_t, _c.c_char_p, _c.c_char_p)
CHANGE_HANDLER = _c.CFUNCTYPE(None, _c.c_void_p, _c.c_void_p, _c.c_char_p)
MESSAGE_HANDLER = _c.CFUNCTYPE(None, _c.c_void_p, _c.c_char_p)
CONDITION = _c.CFUNCTYPE(_c.c_int, _c.c_void_p)

_P = _c.POINTER
_TEXT_OUT = _P(_c.c_void_p)  # char**: kept as a raw pointer so it can be freed

# name: (argument types); every function returns a status unless listed in _RESTYPES.
_SIGNATURES = {
    "usborva_api_version": (),
    "usborva_error_text": (STATUS,),
    "usborva_free": (_c.c_void_p,),
    "usborva_host_create": (_c.c_uint32, _P(HOST)),
    "usborva_host_destroy": (HOST,),
    "usborva_host_set_user_mode": (HOST, _c.c_int),
    "usborva_host_set_settings_root": (HOST, _c.c_char_p),
    "usborva_host_set_message_handler": (HOST, MESSAGE_HANDLER, _c.c_void_p),
    "usborva_host_use_scenario_file": (HOST, _c.c_char_p),
    "usborva_host_use_scenario_text": (HOST, _c.c_char_p, _c.c_char_p),
    "usborva_host_scenario_finished": (HOST, _P(_c.c_int)),
    "usborva_host_scenario_failures": (HOST, _TEXT_OUT),
    "usborva_last_error_description": (HOST, _TEXT_OUT),
    "usborva_host_run_for": (HOST, _c.c_int64),
    "usborva_host_run_until": (HOST, CONDITION, _c.c_void_p, _c.c_int64, _P(_c.c_int)),
    "usborva_host_stop": (HOST,),
    "usborva_host_next_timeout_ms": (HOST, _P(_c.c_int64)),
    "usborva_host_dispatch": (HOST,),
    "usborva_control_create": (HOST, _P(CONTROL)),
    "usborva_control_destroy": (CONTROL,),
    "usborva_control_set_event_handler": (CONTROL, EVENT_HANDLER, _c.c_void_p),
    "usborva_control_set_property_changed_handler": (CONTROL, CHANGE_HANDLER, _c.c_void_p),
    "usborva_control_init_properties": (CONTROL,),
    "usborva_control_load_bag": (CONTROL, _c.c_char_p),
    "usborva_control_save_bag": (CONTROL, _c.c_char_p),
    "usborva_control_dirty": (CONTROL, _P(_c.c_int)),
    "usborva_control_mark_clean": (CONTROL,),
    "usborva_property_count": (),
    "usborva_property_name": (_c.c_int32, _P(_c.c_char_p)),
    "usborva_property_type": (_c.c_char_p, _P(_c.c_int32)),
    "usborva_get_string": (CONTROL, _c.c_char_p, _TEXT_OUT),
    "usborva_put_string": (CONTROL, _c.c_char_p, _c.c_char_p),
    "usborva_get_long": (CONTROL, _c.c_char_p, _P(_c.c_int32)),
    "usborva_put_long": (CONTROL, _c.c_char_p, _c.c_int32),
    "usborva_get_byte": (CONTROL, _c.c_char_p, _P(_c.c_uint8)),
    "usborva_put_byte": (CONTROL, _c.c_char_p, _c.c_uint8),
    "usborva_get_bool": (CONTROL, _c.c_char_p, _P(_c.c_int)),
    "usborva_put_bool": (CONTROL, _c.c_char_p, _c.c_int),
    "usborva_get_value": (CONTROL, _c.c_char_p, VALUE),
    "usborva_put_value": (CONTROL, _c.c_char_p, VALUE),
    "usborva_get_track": (CONTROL, _P(_c.c_int16), _TEXT_OUT),
    "usborva_get_track_masked": (CONTROL, _P(_c.c_int16), _TEXT_OUT),
    "usborva_card_view": (CONTROL, _c.c_int, _TEXT_OUT),
    "usborva_get_fname": (CONTROL, _TEXT_OUT),
    "usborva_get_lname": (CONTROL, _TEXT_OUT),
    "usborva_get_fname_masked": (CONTROL, _TEXT_OUT),
    "usborva_get_lname_masked": (CONTROL, _TEXT_OUT),
    "usborva_find_element": (CONTROL, _c.c_int16, _c.c_char_p, _c.c_int16, _c.c_char_p, VALUE,
                             _TEXT_OUT),
    "usborva_find_element_masked": (CONTROL, _c.c_int16, _c.c_char_p, _c.c_int16, _c.c_char_p,
                                    VALUE, _TEXT_OUT),
    "usborva_get_def_setting": (CONTROL, _c.c_char_p, VALUE, _TEXT_OUT),
    "usborva_save_def_setting": (CONTROL, _c.c_char_p, _c.c_char_p, _TEXT_OUT),
    "usborva_clear_buffer": (CONTROL, _P(_c.c_int16)),
    "usborva_about": (CONTROL, _TEXT_OUT),
    "usborva_interpret_msg": (CONTROL, _c.c_char_p, _P(_c.c_int)),
    "usborva_get_feature_report": (CONTROL, _c.c_char_p, VALUE, _P(_c.c_int32)),
    "usborva_set_feature_report": (CONTROL, _c.c_char_p, VALUE, _P(_c.c_int32)),
    "usborva_value_create": (_P(VALUE),),
    "usborva_value_destroy": (VALUE,),
    "usborva_value_type": (VALUE, _P(_c.c_int32)),
    "usborva_value_set_empty": (VALUE,),
    "usborva_value_set_null": (VALUE,),
    "usborva_value_set_missing": (VALUE,),
    "usborva_value_set_integer": (VALUE, _c.c_int16),
    "usborva_value_set_long": (VALUE, _c.c_int32),
    "usborva_value_set_byte": (VALUE, _c.c_uint8),
    "usborva_value_set_bool": (VALUE, _c.c_int),
    "usborva_value_set_double": (VALUE, _c.c_double),
    "usborva_value_set_string": (VALUE, _c.c_char_p, _c.c_size_t),
    "usborva_value_set_bytes": (VALUE, _c.c_char_p, _c.c_size_t),
    "usborva_value_get_integer": (VALUE, _P(_c.c_int16)),
    "usborva_value_get_long": (VALUE, _P(_c.c_int32)),
    "usborva_value_get_byte": (VALUE, _P(_c.c_uint8)),
    "usborva_value_get_bool": (VALUE, _P(_c.c_int)),
    "usborva_value_get_double": (VALUE, _P(_c.c_double)),
    "usborva_value_get_string": (VALUE, _TEXT_OUT, _P(_c.c_size_t)),
    "usborva_value_get_bytes": (VALUE, _TEXT_OUT, _P(_c.c_size_t)),
}
_RESTYPES = {"usborva_error_text": _c.c_char_p, "usborva_free": None}


# The library a wheel built by `make python` carries beside this file.
BUNDLED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libusborva.so.0")


def _candidates():
    """The bundled library first, then USBORVA_LIBRARY, then the system's."""
    if os.path.exists(BUNDLED):
        yield BUNDLED
    explicit = os.environ.get("USBORVA_LIBRARY")
    if explicit:
        yield explicit
    yield ctypes.util.find_library("usborva") or "libusborva.so.0"


def _open():
    failures = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path)
        except OSError as error:
            failures.append(str(error))
    raise ImportError("libusborva cannot be loaded: install it, or set USBORVA_LIBRARY to "
                      "the shared library (" + "; ".join(failures) + ")")


def load():
    """The library with every function declared."""
    lib = _open()
    for name, argtypes in _SIGNATURES.items():
        function = getattr(lib, name)
        function.argtypes = argtypes
        function.restype = _RESTYPES.get(name, STATUS)
    return lib


lib = load()
