# SPDX-License-Identifier: Apache-2.0
"""The control's events as Python values: names, arguments by name, and a safe repr."""
from dataclasses import dataclass, field
from typing import Any, Dict, Optional, Tuple

# The control's events by dispatch identifier.
EVENTS: Dict[int, str] = {1: "CardDataChanged", 2: "CardDataError", 3: "DeviceStatusChanged",
                          4: "CardStatusChanged", 5: "PINResponse", 6: "SelectResponse",
                          7: "DisplayDone"}
EVENT_IDS: Dict[str, int] = {name: event_id for event_id, name in EVENTS.items()}

# The byte arguments of each event, in the order the control passes them.
ARGUMENTS: Dict[str, Tuple[str, ...]] = {
    "CardDataChanged": (),
    "CardDataError": (),
    "DeviceStatusChanged": ("DeviceState", "SessionStatus", "DeviceStatus"),
    "CardStatusChanged": ("OpStatus", "CardStatus", "CardType"),
    "PINResponse": ("OpStatus",),
    "SelectResponse": ("OpStatus", "KeyPressed"),
    "DisplayDone": ("DisplayStatus",),
}


@dataclass
class Event:
    """One event of a control.

    name is the event's name (``"CardDataChanged"``), args its arguments by name; a
    PINResponse also carries ``KSN`` and ``EPB`` (texts). properties and card are filled
    only by the rehearsal helper (usborva.testing), which reads them as the event arrives.
    The repr hides the PIN block, so logging an event never leaks it.
    """

    name: str
    args: Dict[str, Any]
    properties: Dict[str, Any] = field(default_factory=dict)
    card: Optional[Dict[str, Any]] = None

    @property
    def id(self) -> int:
        """The event's dispatch identifier (1 to 7)."""
        return EVENT_IDS[self.name]

    def __repr__(self) -> str:
        shown = dict(self.args)
        if shown.get("EPB"):
            shown["EPB"] = "*" * len(shown["EPB"])
        return f"Event({self.name!r}, {shown!r})"


def make_event(event_id: int, values: Tuple[int, ...], ksn: Optional[str],
               epb: Optional[str]) -> Event:
    """The Event for what the C interface delivered."""
    name = EVENTS.get(event_id, f"Event{event_id}")
    args: Dict[str, Any] = dict(zip(ARGUMENTS.get(name, ()), values))
    if name == "PINResponse":
        args["KSN"] = ksn or ""
        args["EPB"] = epb or ""
    return Event(name, args)
