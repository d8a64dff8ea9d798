# SPDX-License-Identifier: Apache-2.0
"""The Python package over libusborva: a rehearsed session and the errors a program meets."""
import os
import pathlib

import pytest

import usborva

EXAMPLES = pathlib.Path(os.environ.get("USBORVA_EXAMPLES",
                                       pathlib.Path(__file__).parents[2] / "examples"))


@pytest.fixture
def host(tmp_path):
    with usborva.Host(virtual_time=True, settings_root=tmp_path) as h:
        yield h


def test_session_on_the_simulated_terminal(host, tmp_path):
    host.use_scenario_file(EXAMPLES / "normal_swipe.scn")
    control = host.create_control()
    events = []
    seen_ksn = []

    def on_event(event_id, args, ksn, epb):
        events.append((usborva.EVENTS[event_id], args))
        if event_id == 1:
            seen_ksn.append(control.DUKPTKSN)  # calls back into the control

    control.on_event = on_event
    control.PortOpen = True
    assert control.PortOpen is True
    assert control.UsbProduct == "USB Payment Terminal"
    assert host.run_until(lambda: seen_ksn, 10)
    host.run_for(2.0)
    assert host.scenario_finished
    names = [name for name, _ in events]
    assert names.index("DeviceStatusChanged") < names.index("CardStatusChanged") \
        < names.index("CardDataChanged")
    assert ("CardStatusChanged", (0, 1, 1)) in events
    assert seen_ksn == ["FFFF9876543210E00007"]

    result, output = control.SetFeatureReport("09")
    assert result == 1 and output.startswith("09 00")
    control.PortOpen = False
    assert control.GetFeatureReport("09", "kept") == (0, "kept")

    control.CardData = "%B4111111111111111^PUBLIC/JOHN Q^2812101000000000000000?"
    assert control.GetFName() == "JOHN Q"
    assert control.FindElementWithDirection(0, "?", 0, "4") == ("0000", True)
    control.SessionID = "ab"
    assert control.SessionID == b"a\x00b\x00"
    control.SigilData = 1.5
    assert control.SigilData == "1.5"
    assert control.SaveDefSetting("Lane", "3") == ""
    assert control.GetDefSetting("Lane") == "3"
    control.Track1Length = 12
    control.save_bag(tmp_path / "form.bag")
    second = host.create_control(init_properties=False)
    second.load_bag(tmp_path / "form.bag")
    assert second.Track1Length == 12


def test_errors_reach_python_as_exceptions(host):
    control = host.create_control()
    with pytest.raises(usborva.AutomationError) as refused:
        control.Firmware = "9"
    assert refused.value.number == 382
    with pytest.raises(usborva.AutomationError) as bad_hex:
        control.InterpretMsg("ZZ")
    assert bad_hex.value.number == 13
    with pytest.raises(usborva.AutomationError) as mismatch:
        control.SessionID = 5
    assert mismatch.value.number == 13
    with pytest.raises(AttributeError):
        control.NoSuchProperty = 1
    with pytest.raises(usborva.InterfaceError):
        host.use_scenario_text("no-such-step\n", "bad.scn")
    host.user_mode = False
    with pytest.raises(usborva.AutomationError) as design:
        control.PortOpen = True
    assert design.value.number == 387


def test_a_foreign_loop_drives_the_host():
    with usborva.Host() as real_time:
        assert real_time.next_timeout_ms() is None
        real_time.use_scenario_text("wait 20ms\ndevice-status 1 0 0\nwait 20ms\n")
        control = real_time.create_control()
        statuses = []
        control.on_event = lambda event_id, args, ksn, epb: statuses.append(args)
        control.PortOpen = True
        import time
        deadline = time.monotonic() + 10
        while not (statuses and real_time.scenario_finished) and time.monotonic() < deadline:
            wait = real_time.next_timeout_ms()
            time.sleep(min(wait if wait is not None else 50, 50) / 1000)
            real_time.dispatch()
        assert statuses == [(1, 0, 0)]
