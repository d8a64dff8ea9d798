# SPDX-License-Identifier: Apache-2.0
"""The card's fields, as the library parses them from the control's tracks."""
from dataclasses import dataclass
from typing import Any, Dict


@dataclass(frozen=True)
class CardView:
    """What a swiped card carries. pan is masked (at most the first six and last four
    digits) unless it was asked for with reveal=True; the discretionary data is there only
    then. A malformed card (a track found but not well-formed) fills no field."""

    track1: bool = False
    track2: bool = False
    malformed: bool = False
    pan: str = ""
    pan_luhn_valid: bool = False
    surname: str = ""
    first_name: str = ""
    middle_initial: str = ""
    title: str = ""
    expiry: str = ""
    service_code: str = ""
    track1_discretionary: str = ""
    track2_discretionary: str = ""

    def __repr__(self) -> str:
        # Only the masked form may reach a log: reveal=True views print no PAN.
        if self.malformed:
            return f"CardView(malformed, track1={self.track1}, track2={self.track2})"
        return (f"CardView(pan={_masked(self.pan)!r}, surname={self.surname!r}, "
                f"first_name={self.first_name!r}, expiry={self.expiry!r})")

    def as_dict(self) -> Dict[str, Any]:
        """The members the tool's JSON card object has for the same view, in its order."""
        out: Dict[str, Any] = {"track1": self.track1, "track2": self.track2}
        if self.malformed:
            out["malformed"] = True
            return out
        for name in ("pan", "pan_luhn_valid", "surname", "first_name", "middle_initial",
                     "title", "expiry", "service_code"):
            out[name] = getattr(self, name)
        return out


_FLAGS = {"track1", "track2", "malformed", "pan_luhn_valid"}


def parse_card_lines(text: str) -> CardView:
    """The CardView of usborva_card_view's key=value lines."""
    fields: Dict[str, Any] = {}
    for line in text.splitlines():
        key, _, value = line.partition("=")
        if key in CardView.__dataclass_fields__:
            fields[key] = value == "1" if key in _FLAGS else value
    return CardView(**fields)


def _masked(pan: str) -> str:
    if "*" in pan or not pan:
        return pan
    return "*" * len(pan)
