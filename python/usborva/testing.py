# SPDX-License-Identifier: Apache-2.0
"""Rehearsals for a host's tests: play a scenario on the simulated terminal in virtual
time and get the events, so a swipe, a PIN entry or an unplug takes milliseconds.

    from usborva.testing import rehearse

    session = rehearse("examples/pin_entry.scn")
    assert [e.name for e in session.events][-1] == "DeviceStatusChanged"
    assert session.events_named("PINResponse")[0].args["OpStatus"] == 0

The scenario language is described in docs/scenarios.md.
"""
import os
import pathlib
import tempfile
from dataclasses import dataclass, field
from typing import Any, Callable, Dict, List, Optional, Union

import usborva

# What is read at each CardDataChanged, and at the end of the session: the tool's monitor
# reads the same.
CARD_PROPERTIES = ("DUKPTKSN", "SigilStatus", "EncTrack1Data", "EncTrack2Data",
                   "EncTrack3Data", "SigilData")
CLEAR_TRACKS = ("Track1Data", "Track2Data", "Track3Data")
# Quiet time after the scenario's end before the session counts as over: long enough for
# the reports still queued (a swipe's nine take 225 ms at one per poll tick) to arrive.
SETTLE_SECONDS = 0.5
FINAL_PROPERTIES = ("PortOpen", "ReaderID", "DeviceState", "SessionStatus", "DeviceStatus",
                    "DUKPTKSN", "SigilStatus", "EncTrack1Data", "EncTrack2Data",
                    "EncTrack3Data", "SigilData", "SwipeCommandOutput")


@dataclass
class Rehearsal:
    """What a rehearsed session gave: the events in order (each CardDataChanged with its
    card view and properties), the properties once the port closed, and the texts the
    control showed to the user."""

    events: List[usborva.Event] = field(default_factory=list)
    properties: Dict[str, Any] = field(default_factory=dict)
    messages: List[str] = field(default_factory=list)
    #: The scenario's failed expectations ("file:line: expected ..."); empty: it passed.
    failures: List[str] = field(default_factory=list)

    @property
    def passed(self) -> bool:
        """Whether every expectation of the scenario was met."""
        return not self.failures

    @property
    def names(self) -> List[str]:
        """The events' names, in order."""
        return [event.name for event in self.events]

    def events_named(self, name: str) -> List[usborva.Event]:
        """The events of that name, in order."""
        return [event for event in self.events if event.name == name]


Scenario = Union[str, "os.PathLike[str]"]


def rehearse(scenario: Scenario, *, reveal: bool = False, limit: float = 3600.0,
             setup: Optional[Callable[[usborva.Control], Any]] = None,
             settings_root: Optional[Scenario] = None) -> Rehearsal:
    """Plays scenario (a path, or scenario text when it is a str holding a line break) on
    a virtual-time host with one control, from opening the port to the end of the
    scenario (at most limit virtual seconds) and until it settles, then closes the port.

    setup(control) runs before the port opens (set properties there). Clear track data
    (Track1Data to Track3Data) and the unmasked PAN are recorded only with reveal=True.
    Settings go to a temporary folder unless settings_root is given.
    """
    with tempfile.TemporaryDirectory() as scratch:
        root = scratch if settings_root is None else settings_root
        with usborva.Host(virtual_time=True, settings_root=root) as host:
            return _play(host, scenario, reveal, limit, setup)


def _play(host: usborva.Host, scenario: Scenario, reveal: bool, limit: float,
          setup: Optional[Callable[[usborva.Control], Any]]) -> Rehearsal:
    if isinstance(scenario, str) and "\n" in scenario:
        host.use_scenario_text(scenario, "<rehearsal>")
    else:
        host.use_scenario_file(pathlib.Path(scenario))
    session = Rehearsal()
    host.on_message = session.messages.append
    control = host.create_control()
    if setup is not None:
        setup(control)
    card_names = CARD_PROPERTIES + (CLEAR_TRACKS if reveal else ())

    def record(event_id, values, ksn, epb):
        event = usborva._events.make_event(event_id, values, ksn, epb)
        if event.name == "CardDataChanged":
            event.card = control.card_view(reveal=reveal).as_dict()
            event.properties = {name: getattr(control, name) for name in card_names}
        session.events.append(event)

    control.on_event = record
    with control:
        control.PortOpen = True
        host.run_until(lambda: host.scenario_finished, limit)
        _settle(host, session)
    session.properties = {name: getattr(control, name) for name in FINAL_PROPERTIES}
    session.failures = host.scenario_failures
    return session


def _settle(host: usborva.Host, session: Rehearsal) -> None:
    """Runs on until SETTLE_SECONDS pass without an event: the last reports of a scenario
    still reach the control a poll tick or more after its last line."""
    while True:
        count = len(session.events)
        host.run_for(SETTLE_SECONDS)
        if len(session.events) == count:
            return
