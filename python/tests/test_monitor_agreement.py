# SPDX-License-Identifier: Apache-2.0
"""A Python host and the tool's monitor see the same session: every example scenario played
both ways, compared event by event (names, arguments, card, properties) and at the end."""
import json
import os
import pathlib
import subprocess

import pytest

from usborva.testing import rehearse

EXAMPLES = pathlib.Path(os.environ.get("USBORVA_EXAMPLES",
                                       pathlib.Path(__file__).parents[2] / "examples"))
TOOL = os.environ.get("USBORVA_TOOL")
SCENARIOS = sorted(EXAMPLES.glob("*.scn"))


# The monitor's exit status when an expectation of the scenario failed: the monitor sends
# no commands, so an example that expects one fails there, and its events still count.
EXPECTATION_FAILED = 5


def _monitor(scenario):
    run = subprocess.run([TOOL, "monitor", "--simulate", str(scenario), "--json",
                          "--virtual-time"], capture_output=True, text=True, timeout=60)
    assert run.returncode in (0, EXPECTATION_FAILED), run.stderr
    output = run.stdout
    lines = [json.loads(line) for line in output.splitlines() if line.strip()]
    return ([line for line in lines if line["type"] == "event"],
            [line for line in lines if line["type"] == "close"][-1])


def _same(tool, ours):
    """Whether the tool's value is ours, allowing for its digit mask: a "*" there stands
    for a digit here."""
    if not isinstance(tool, str) or not isinstance(ours, str) or "*" not in tool:
        return tool == ours
    return len(tool) == len(ours) and all(
        t == o or (t == "*" and o.isdigit()) for t, o in zip(tool, ours))


def _assert_same(tool, ours):
    assert tool.keys() == ours.keys()
    for name in tool:
        assert _same(tool[name], ours[name]), (name, tool[name], ours[name])


@pytest.mark.skipif(not TOOL, reason="USBORVA_TOOL names no usborva tool")
@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda path: path.stem)
def test_python_sees_what_the_monitor_sees(scenario):
    tool_events, tool_close = _monitor(scenario)
    session = rehearse(scenario)
    assert [e["event"] for e in tool_events] == session.names
    for tool, ours in zip(tool_events, session.events):
        args = dict(ours.args)
        if "EPB" in args:
            args["EPB"] = "*" * len(args["EPB"])
        assert tool["args"] == args, ours.name
        if ours.name == "CardDataChanged":
            card = {k: v for k, v in tool["card"].items() if k != "track3"}
            assert card == ours.card
            _assert_same(tool["properties"], ours.properties)
    _assert_same(tool_close["properties"], session.properties)


def test_every_example_is_played():
    assert {path.stem for path in SCENARIOS} >= {"normal_swipe", "pin_entry", "bad_read"}
