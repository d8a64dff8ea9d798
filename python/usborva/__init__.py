# SPDX-License-Identifier: Apache-2.0
"""Drive a USB HID payment terminal from Python, through libusborva's C interface.

    with usborva.Host(virtual_time=True) as host:
        host.use_scenario_file("examples/normal_swipe.scn")   # rehearse without hardware
        with host.create_control() as control:
            control.on("CardDataChanged", lambda event: print(control.masked_pan))
            control.PortOpen = True
            host.run_for(2.0)

Properties are attributes spelled as the control's members; methods keep their names
(GetTrack, FindElement, ...). Events reach handlers registered per event (Control.on),
the legacy on_event callback, and Control.events(), an iterator for scripts.
Everything belongs to the thread that created the host. A failed call raises
AutomationError (the control's error number, such as 382, and its standard text) or
InterfaceError (a misuse the C interface caught). usborva.testing rehearses scenarios in
virtual time; usborva.aio drives a host from an asyncio event loop.
"""
import collections as _collections
import ctypes as _c
import os as _os
from typing import (Any, Callable, Deque, Dict, Iterator, List, Optional, Tuple, Union)

from usborva._card import CardView, parse_card_lines as _parse_card_lines
from usborva._events import ARGUMENTS, EVENT_IDS, EVENTS, Event, make_event as _make_event

from usborva._library import (CHANGE_HANDLER, CONDITION, EVENT_HANDLER, MESSAGE_HANDLER,
                              lib as _lib)

__all__ = ["AutomationError", "InterfaceError", "UsborvaError", "Host", "Control", "MISSING",
           "EVENTS", "EVENT_IDS", "ARGUMENTS", "Event", "CardView", "PROPERTIES"]
_Path = Union[str, "_os.PathLike[str]"]

_EMPTY, _NULL, _INTEGER, _LONG, _BYTE, _BOOLEAN, _DOUBLE, _STRING, _BYTES, _VARIANT, \
    _MISSING = range(11)


class _Missing:
    """An optional argument left out, which the control may write back into."""

    def __repr__(self):
        return "MISSING"


MISSING = _Missing()


class UsborvaError(Exception):
    """A failed call: status is the C interface's status, description its text."""

    def __init__(self, status: int, description: str) -> None:
        super().__init__(f"{description} ({status})")
        self.status = status
        self.description = description

    @property
    def text(self) -> str:
        """The standard text of the status ("Set not permitted" for 387)."""
        return _text(self.status)


class AutomationError(UsborvaError):
    """An error the control raised: number is its automation error number."""

    @property
    def number(self) -> int:
        """The automation error number (13, 382, 387, ...)."""
        return self.status


class InterfaceError(UsborvaError):
    """A misuse the C interface refused: bad name, wrong type, wrong thread, ..."""


def _text(status):
    return _lib.usborva_error_text(status).decode("utf-8", "replace")


def _check(status, host=None):
    if status == 0:
        return
    description = _text(status)
    if host is not None:
        out = _c.c_void_p()
        if _lib.usborva_last_error_description(host, _c.byref(out)) == 0:
            description = _take_text(out) or description
    raise (AutomationError if status > 0 else InterfaceError)(status, description)


def _take_text(pointer, length=None):
    """The text behind a char* the library handed out, which is then freed."""
    if not pointer.value:
        return None
    try:
        raw = _c.string_at(pointer.value) if length is None else _c.string_at(pointer.value,
                                                                               length)
        return raw.decode("utf-8", "replace")
    finally:
        _lib.usborva_free(pointer)


class _Value:
    """A C Variant for one call: made from a Python value, read back into one."""

    def __init__(self, python_value=None):
        self.handle = _c.c_void_p()
        _check(_lib.usborva_value_create(_c.byref(self.handle)))
        if python_value is not None:
            self.set(python_value)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        _lib.usborva_value_destroy(self.handle)

    def set(self, v):
        h = self.handle
        if v is MISSING:
            status = _lib.usborva_value_set_missing(h)
        elif isinstance(v, bool):
            status = _lib.usborva_value_set_bool(h, int(v))
        elif isinstance(v, int):
            status = _lib.usborva_value_set_long(h, v)
        elif isinstance(v, float):
            status = _lib.usborva_value_set_double(h, v)
        elif isinstance(v, str):
            raw = v.encode("utf-8")
            status = _lib.usborva_value_set_string(h, raw, len(raw))
        elif isinstance(v, (bytes, bytearray)):
            status = _lib.usborva_value_set_bytes(h, bytes(v), len(v))
        else:
            raise TypeError(f"no Variant form for {type(v).__name__}")
        _check(status)

    def get(self):
        h = self.handle
        tag = _c.c_int32()
        _check(_lib.usborva_value_type(h, _c.byref(tag)))
        tag = tag.value
        if tag in (_EMPTY, _NULL):
            return None
        if tag == _MISSING:
            return MISSING
        if tag in (_STRING, _BYTES):
            out, length = _c.c_void_p(), _c.c_size_t()
            getter = (_lib.usborva_value_get_string if tag == _STRING
                      else _lib.usborva_value_get_bytes)
            _check(getter(h, _c.byref(out), _c.byref(length)))
            if tag == _STRING:
                return _take_text(out, length.value)
            try:
                return _c.string_at(out.value, length.value)
            finally:
                _lib.usborva_free(out)
        kinds = {_INTEGER: (_c.c_int16, _lib.usborva_value_get_integer),
                 _LONG: (_c.c_int32, _lib.usborva_value_get_long),
                 _BYTE: (_c.c_uint8, _lib.usborva_value_get_byte),
                 _BOOLEAN: (_c.c_int, _lib.usborva_value_get_bool),
                 _DOUBLE: (_c.c_double, _lib.usborva_value_get_double)}
        ctype, getter = kinds[tag]
        out = ctype()
        _check(getter(h, _c.byref(out)))
        return bool(out.value) if tag == _BOOLEAN else out.value


def _property_types():
    types = {}
    for index in range(_lib.usborva_property_count()):
        name = _c.c_char_p()
        _check(_lib.usborva_property_name(index, _c.byref(name)))
        tag = _c.c_int32()
        _check(_lib.usborva_property_type(name.value, _c.byref(tag)))
        types[name.value.decode()] = tag.value
    return types


_PROPERTIES = _property_types()
# The control's 37 properties in the library's order.
PROPERTIES: Tuple[str, ...] = tuple(_PROPERTIES)
DESIGN_MODE = 0x1
VIRTUAL_TIME = 0x2


class Host:
    """The container of controls, with its loop; see usborva_c.h for each call."""

    def __init__(self, user_mode: bool = True, virtual_time: bool = False,
                 settings_root: Optional[_Path] = None) -> None:
        """A run-time host (user_mode) or a form designer's; virtual_time plays waits at
        once (rehearsals and tests); settings_root replaces the settings folder."""
        self._handle = _c.c_void_p()
        flags = (0 if user_mode else DESIGN_MODE) | (VIRTUAL_TIME if virtual_time else 0)
        _check(_lib.usborva_host_create(flags, _c.byref(self._handle)))
        self._controls: List["Control"] = []
        self._keep: List[Any] = []  # callbacks the library holds
        # An exception of a Python handler, re-raised when the loop call returns: it must
        # not cross the C loop, and ctypes would only print it.
        self._handler_error: Optional[BaseException] = None
        self.on_message: Optional[Callable[[str], None]] = None
        handler = MESSAGE_HANDLER(lambda user, text: self._message(text))
        self._keep.append(handler)
        self._call(_lib.usborva_host_set_message_handler, handler, None)
        if settings_root is not None:
            self._call(_lib.usborva_host_set_settings_root, str(settings_root).encode())

    def _call(self, function, *args):
        _check(function(self._handle, *args), self._handle)

    def _run(self, function, *args):
        """A call that runs the loop: its failure, else a handler's exception, is raised."""
        try:
            self._call(function, *args)
        finally:
            error, self._handler_error = self._handler_error, None
        if error is not None:
            raise error

    def _handler_failed(self, error: BaseException) -> None:
        if self._handler_error is None:
            self._handler_error = error
        _lib.usborva_host_stop(self._handle)

    def _message(self, text):
        if self.on_message is not None:
            self.on_message(text.decode("utf-8", "replace"))

    def close(self) -> None:
        """Terminates every control and the host; the handles are gone afterwards."""
        if self._handle:
            self._call(_lib.usborva_host_destroy)
            self._handle = _c.c_void_p()
            for control in self._controls:
                object.__setattr__(control, "_handle", _c.c_void_p())

    def __enter__(self) -> "Host":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    @property
    def user_mode(self) -> bool:
        raise AttributeError("write-only")

    @user_mode.setter
    def user_mode(self, value: bool) -> None:
        self._call(_lib.usborva_host_set_user_mode, int(bool(value)))

    def use_scenario_file(self, path: _Path) -> None:
        """Plays a scenario file on a simulated terminal instead of the machine's."""
        self._call(_lib.usborva_host_use_scenario_file, str(path).encode())

    def use_scenario_text(self, text: str, source_name: Optional[str] = None) -> None:
        """Plays scenario text on a simulated terminal instead of the machine's."""
        self._call(_lib.usborva_host_use_scenario_text, text.encode(),
                   source_name.encode() if source_name else None)

    @property
    def scenario_finished(self) -> bool:
        """Whether the scenario has played its last line (True without a scenario)."""
        out = _c.c_int()
        self._call(_lib.usborva_host_scenario_finished, _c.byref(out))
        return bool(out.value)

    @property
    def scenario_failures(self) -> List[str]:
        """The scenario's failed expectations so far, in order ("file:line: expected
        ..."); empty when none failed or there is no scenario."""
        out = _c.c_void_p()
        self._call(_lib.usborva_host_scenario_failures, _c.byref(out))
        return [line for line in (_take_text(out) or "").split("\n") if line]

    def run_for(self, seconds: float) -> None:
        """Runs the loop for seconds (virtual ones on a virtual-time host): timers, reads,
        events, the scenario's steps. An exception of an event handler stops the run and
        is raised here."""
        self._run(_lib.usborva_host_run_for, _ms(seconds))

    def run_until(self, done: Callable[[], Any], timeout: float) -> bool:
        """Runs until done() is true or timeout seconds pass; returns whether it was."""
        errors: List[BaseException] = []

        def condition(user):
            try:
                return 1 if done() else 0
            except BaseException as e:  # never across the C loop: stop and re-raise
                errors.append(e)
                return 1

        callback = CONDITION(condition)
        met = _c.c_int()
        self._run(_lib.usborva_host_run_until, callback, None, _ms(timeout), _c.byref(met))
        if errors:
            raise errors[0]
        return bool(met.value)

    def stop(self) -> None:
        """Ends a run_for or run_until early (from a handler, or another thread)."""
        _check(_lib.usborva_host_stop(self._handle))

    def next_timeout_ms(self) -> Optional[int]:
        """Milliseconds until dispatch is due (0: now), or None when nothing is scheduled."""
        out = _c.c_int64()
        self._call(_lib.usborva_host_next_timeout_ms, _c.byref(out))
        return None if out.value < 0 else out.value

    def dispatch(self) -> None:
        """Does what is due now (for a loop other than run_for: see usborva.aio)."""
        self._run(_lib.usborva_host_dispatch)

    def create_control(self, init_properties: bool = True) -> "Control":
        """A new control; init_properties=False when load_bag follows."""
        control = Control(self)
        if init_properties:
            control.InitProperties()
        self._controls.append(control)
        return control


def _ms(seconds: float) -> int:
    return max(0, int(round(float(seconds) * 1000)))


EventHandler = Callable[[Event], Any]


class Control:
    """One control; its properties are attributes spelled as the members.

    Used as a context manager, it closes the port on the way out (and leaves the control
    usable). Its handlers run on the host's thread while the host's loop runs.
    """

    def __init__(self, host: Host) -> None:
        object.__setattr__(self, "_host", host)
        object.__setattr__(self, "_handle", _c.c_void_p())
        _check(_lib.usborva_control_create(host._handle, _c.byref(self._handle)),
               host._handle)
        object.__setattr__(self, "on_event", None)
        object.__setattr__(self, "on_property_changed", None)
        object.__setattr__(self, "_handlers", {})
        object.__setattr__(self, "_queues", [])
        events = EVENT_HANDLER(self._event)
        changes = CHANGE_HANDLER(self._changed)
        object.__setattr__(self, "_callbacks", (events, changes))
        self._call(_lib.usborva_control_set_event_handler, events, None)
        self._call(_lib.usborva_control_set_property_changed_handler, changes, None)

    def _call(self, function, *args):
        _check(function(self._handle, *args), self._host._handle)

    def _event(self, user, control, event_id, args, count, ksn, epb):
        try:
            values = tuple(args[i] for i in range(count))
            decode = (lambda t: t.decode("utf-8", "replace") if t is not None else None)
            ksn, epb = decode(ksn), decode(epb)
            event = _make_event(event_id, values, ksn, epb)
            for queue in self._queues:
                queue.append(event)
            if self.on_event is not None:
                self.on_event(event_id, values, ksn, epb)
            for handler in tuple(self._handlers.get(event.name, ())):
                handler(event)
        except BaseException as error:  # never across the C loop
            self._host._handler_failed(error)

    def _changed(self, user, control, name):
        try:
            if self.on_property_changed is not None:
                self.on_property_changed(name.decode())
        except BaseException as error:
            self._host._handler_failed(error)

    # --- events
    def on(self, event: str, handler: Optional[EventHandler] = None) -> Any:
        """Calls handler(event) for each event of that name (``"CardDataChanged"``, ...).
        Usable as a decorator: ``@control.on("PINResponse")``. Returns the handler."""
        if event not in EVENT_IDS:
            raise ValueError(f"the control has no event {event}")
        if handler is None:
            return lambda fn: self.on(event, fn)
        self._handlers.setdefault(event, []).append(handler)
        return handler

    def off(self, event: str, handler: EventHandler) -> None:
        """Removes a handler registered with on()."""
        self._handlers.get(event, []).remove(handler)

    def events(self, timeout: Optional[float] = None) -> Iterator[Event]:
        """The control's events as they come, running the host's loop while it waits. The
        iteration ends when timeout seconds pass without an event (None: never)."""
        queue: Deque[Event] = _collections.deque()
        self._queues.append(queue)
        try:
            while True:
                if not queue:
                    wait = 3600.0 if timeout is None else timeout
                    while not self._host.run_until(lambda: queue, wait) and timeout is None:
                        pass
                    if not queue:
                        return
                yield queue.popleft()
        finally:
            self._queues.remove(queue)

    def __enter__(self) -> "Control":
        return self

    def __exit__(self, *exc: Any) -> None:
        if self._handle and self.PortOpen:
            self.PortOpen = False

    # --- the card
    def card_view(self, reveal: bool = False) -> CardView:
        """The fields of the card the control holds (from Track1Data and Track2Data). The
        PAN is masked (first six and last four digits at most) unless reveal=True."""
        out = _c.c_void_p()
        self._call(_lib.usborva_card_view, int(bool(reveal)), _c.byref(out))
        return _parse_card_lines(_take_text(out) or "")

    @property
    def masked_pan(self) -> str:
        """The card's PAN, masked; "" when the control holds no well-formed card."""
        return self.card_view().pan

    # --- properties
    def __getattr__(self, name: str) -> Any:
        tag = _PROPERTIES.get(name)
        if tag is None:
            raise AttributeError(name)
        key = name.encode()
        if tag == _STRING:
            out = _c.c_void_p()
            self._call(_lib.usborva_get_string, key, _c.byref(out))
            return _take_text(out)
        if tag == _VARIANT:
            with _Value() as value:
                self._call(_lib.usborva_get_value, key, value.handle)
                return value.get()
        ctype, getter = {_LONG: (_c.c_int32, _lib.usborva_get_long),
                         _BYTE: (_c.c_uint8, _lib.usborva_get_byte),
                         _BOOLEAN: (_c.c_int, _lib.usborva_get_bool)}[tag]
        out = ctype()
        self._call(getter, key, _c.byref(out))
        return bool(out.value) if tag == _BOOLEAN else out.value

    def __setattr__(self, name: str, value: Any) -> None:
        tag = _PROPERTIES.get(name)
        if tag is None:
            if name in ("on_event", "on_property_changed") or name.startswith("_"):
                object.__setattr__(self, name, value)
                return
            raise AttributeError(f"the control has no property {name}")
        key = name.encode()
        if tag == _STRING:
            self._call(_lib.usborva_put_string, key, str(value).encode())
        elif tag == _VARIANT:
            with _Value(value) as v:
                self._call(_lib.usborva_put_value, key, v.handle)
        else:
            putter = {_LONG: _lib.usborva_put_long, _BYTE: _lib.usborva_put_byte,
                      _BOOLEAN: _lib.usborva_put_bool}[tag]
            self._call(putter, key, int(value))

    # --- the container's calls
    def InitProperties(self) -> None:
        """Gives every property its default (a new control, without a bag)."""
        self._call(_lib.usborva_control_init_properties)

    def load_bag(self, path: _Path) -> None:
        """Reads the properties from a property bag file (docs/property-bag-format.md)."""
        self._call(_lib.usborva_control_load_bag, str(path).encode())

    def save_bag(self, path: _Path) -> None:
        """Writes the properties to a property bag file, atomically, mode 0600."""
        self._call(_lib.usborva_control_save_bag, str(path).encode())

    @property
    def dirty(self) -> bool:
        """Whether a property changed since the last load, save or mark_clean."""
        out = _c.c_int()
        self._call(_lib.usborva_control_dirty, _c.byref(out))
        return bool(out.value)

    def mark_clean(self) -> None:
        self._call(_lib.usborva_control_mark_clean)

    def close(self) -> None:
        """Terminates the control (closing its port); the handle is gone afterwards."""
        self._call(_lib.usborva_control_destroy)
        object.__setattr__(self, "_handle", _c.c_void_p())

    # --- methods
    def _text_call(self, function, *args):
        out = _c.c_void_p()
        self._call(function, *args, _c.byref(out))
        return _take_text(out)

    def GetTrack(self, TrackNum: int) -> Optional[str]:
        number = _c.c_int16(TrackNum)
        return self._text_call(_lib.usborva_get_track, _c.byref(number))

    def GetTrackMasked(self, TrackNum: int) -> Optional[str]:
        number = _c.c_int16(TrackNum)
        return self._text_call(_lib.usborva_get_track_masked, _c.byref(number))

    def GetFName(self) -> Optional[str]:
        return self._text_call(_lib.usborva_get_fname)

    def GetLName(self) -> Optional[str]:
        return self._text_call(_lib.usborva_get_lname)

    def GetFNameMasked(self) -> Optional[str]:
        return self._text_call(_lib.usborva_get_fname_masked)

    def GetLNameMasked(self) -> Optional[str]:
        return self._text_call(_lib.usborva_get_lname_masked)

    def _find(self, function, TrackNum, RefChar, Displacement, NumDigits, DirectionBack):
        """Returns the text, and the DirectionBack the control left (by reference)."""
        with _Value(DirectionBack) as direction:
            text = self._text_call(function, TrackNum, RefChar.encode(), Displacement,
                                   NumDigits.encode(), direction.handle)
            return text, direction.get()

    def FindElement(self, TrackNum: int, RefChar: str, Displacement: int, NumDigits: str,
                    DirectionBack: Any = MISSING) -> Optional[str]:
        return self._find(_lib.usborva_find_element, TrackNum, RefChar, Displacement,
                          NumDigits, DirectionBack)[0]

    def FindElementMasked(self, TrackNum: int, RefChar: str, Displacement: int,
                          NumDigits: str, DirectionBack: Any = MISSING) -> Optional[str]:
        return self._find(_lib.usborva_find_element_masked, TrackNum, RefChar, Displacement,
                          NumDigits, DirectionBack)[0]

    def FindElementWithDirection(self, TrackNum: int, RefChar: str, Displacement: int,
                                 NumDigits: str, DirectionBack: Any = MISSING,
                                 masked: bool = False) -> Tuple[Optional[str], Any]:
        """FindElement(Masked), also returning DirectionBack as the control left it."""
        function = _lib.usborva_find_element_masked if masked else _lib.usborva_find_element
        return self._find(function, TrackNum, RefChar, Displacement, NumDigits, DirectionBack)

    def GetDefSetting(self, Key: str, strDefault: Any = MISSING) -> Optional[str]:
        if strDefault is MISSING:
            return self._text_call(_lib.usborva_get_def_setting, Key.encode(), None)
        with _Value(strDefault) as default:
            return self._text_call(_lib.usborva_get_def_setting, Key.encode(), default.handle)

    def SaveDefSetting(self, Key: str, Setting: str) -> Optional[str]:
        return self._text_call(_lib.usborva_save_def_setting, Key.encode(), Setting.encode())

    def ClearBuffer(self) -> int:
        out = _c.c_int16()
        self._call(_lib.usborva_clear_buffer, _c.byref(out))
        return out.value

    def About(self) -> Optional[str]:
        return self._text_call(_lib.usborva_about)

    def InterpretMsg(self, sText: str) -> bool:
        out = _c.c_int()
        self._call(_lib.usborva_interpret_msg, sText.encode(), _c.byref(out))
        return bool(out.value)

    def _feature(self, function, CommandString, OutPutData):
        with _Value(OutPutData) as output:
            result = _c.c_int32()
            self._call(function, CommandString.encode(), output.handle, _c.byref(result))
            return result.value, output.get()

    def GetFeatureReport(self, CommandString: str, OutPutData: Any = None) -> Tuple[int, Any]:
        """Returns (result, OutPutData as the control left it)."""
        return self._feature(_lib.usborva_get_feature_report, CommandString, OutPutData)

    def SetFeatureReport(self, CommandString: str, OutPutData: Any = None) -> Tuple[int, Any]:
        """Returns (result, OutPutData as the control left it)."""
        return self._feature(_lib.usborva_set_feature_report, CommandString, OutPutData)
