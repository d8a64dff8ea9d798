# SPDX-License-Identifier: Apache-2.0
"""Events by name and as an iterator, the port closed by the context manager, the card
view masked by default, and handler exceptions that reach the caller."""
import pytest

import usborva
from usborva.testing import rehearse

PIN_AND_KEY = """wait 10ms
device-status 1 0 0
wait 10ms
pin-response 0 FFFF9876543210E00011 0123456789ABCDEF
wait 10ms
select-response 0 3
wait 10ms
"""


SWIPE = 'wait 10ms\nswipe track1 "%B5500005555555559^DOE/ANN^2902101?"\nwait 10ms\n'


@pytest.fixture
def host(tmp_path):
    with usborva.Host(virtual_time=True, settings_root=tmp_path) as h:
        yield h


def test_handlers_iterator_and_context_manager(host):
    host.use_scenario_text(PIN_AND_KEY, "pin.scn")
    seen = []
    with host.create_control() as control:
        control.on("PINResponse", seen.append)

        @control.on("SelectResponse")
        def on_key(event):
            seen.append(event)

        control.PortOpen = True
        events = list(control.events(timeout=1.0))
        assert control.PortOpen
    assert control.PortOpen is False
    assert [e.name for e in events] == ["DeviceStatusChanged", "PINResponse", "SelectResponse"]
    assert events[0].args == {"DeviceState": 1, "SessionStatus": 0, "DeviceStatus": 0}
    pin = events[1]
    assert pin.args == {"OpStatus": 0, "KSN": "FFFF9876543210E00011",
                        "EPB": "0123456789ABCDEF"}
    assert "0123456789ABCDEF" not in repr(pin)
    assert seen == events[1:]
    with pytest.raises(ValueError):
        control.on("NoSuchEvent", print)


def test_events_iterator_ends_after_the_quiet_timeout(host):
    host.use_scenario_text("wait 10ms\ndevice-status 1 0 0\nwait 5s\ndevice-status 0 0 0\n")
    control = host.create_control()
    control.PortOpen = True
    assert [e.name for e in control.events(timeout=1.0)] == ["DeviceStatusChanged"]
    assert [e.args["DeviceState"] for e in control.events(timeout=10)] == [0]


def test_card_view_is_masked_unless_revealed(host, tmp_path):
    swiped = rehearse(SWIPE).events_named("CardDataChanged")[0]
    assert swiped.card["pan"] == "550000******5559" and swiped.card["surname"] == "DOE"
    assert "Track1Data" not in swiped.properties
    revealed = rehearse(SWIPE, reveal=True).events_named("CardDataChanged")[0]
    assert revealed.card["pan"] == "5500005555555559"
    assert revealed.properties["Track1Data"].startswith("%B55")

    control = host.create_control()
    assert control.masked_pan == ""
    assert control.card_view() == usborva.CardView()
    view = usborva.CardView(track1=True, pan="5500005555555559", surname="DOE")
    assert "5500005555555559" not in repr(view)


def test_errors_carry_number_and_standard_text(host):
    control = host.create_control()
    with pytest.raises(usborva.AutomationError) as refused:
        control.ReaderID = "1"
    assert refused.value.number == 382
    assert refused.value.text == usborva.AutomationError(382, "").text != ""
    host.use_scenario_text("wait 10ms\ndevice-status 1 0 0\nwait 10ms\n")

    def broken(event):
        raise RuntimeError("handler failed")

    control.on("DeviceStatusChanged", broken)
    control.PortOpen = True
    with pytest.raises(RuntimeError, match="handler failed"):
        host.run_for(1)
    control.off("DeviceStatusChanged", broken)
    host.run_for(1)  # the loop goes on once the handler is gone


EXPECTATIONS = """wait 10ms
device-status 1 0 0
expect event DeviceStatusChanged 1 ?? ?? within 200ms
expect set-feature 0A 01 within 300ms
"""


def test_rehearsal_reports_the_scenarios_failed_expectations():
    # The event the host received meets its expectation; the command it never sent does not.
    session = rehearse(EXPECTATIONS)
    assert not session.passed
    assert len(session.failures) == 1
    assert "<rehearsal>:4: expected set-feature 0A 01 within 300ms" in session.failures[0]
    assert rehearse(SWIPE).passed
