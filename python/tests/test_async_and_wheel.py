# SPDX-License-Identifier: Apache-2.0
"""The asyncio driver on a real-time host, and the wheel of `make python` installed into a
fresh virtual environment and used from outside the source tree."""
import asyncio
import os
import pathlib
import subprocess
import sys

import pytest

import usborva
import usborva.aio

PYTHON_DIR = pathlib.Path(__file__).parents[1]


def test_the_event_loop_drives_the_host():
    async def session():
        with usborva.Host() as host:
            host.use_scenario_text("wait 20ms\ndevice-status 1 0 0\nwait 20ms\n"
                                   "display-done 0\nwait 20ms\n")
            control = host.create_control()
            async with usborva.aio.Driver(host):
                control.PortOpen = True
                first = await usborva.aio.next_event(control, timeout=10)
                done = await usborva.aio.next_event(control, "DisplayDone", timeout=10)
                with pytest.raises(asyncio.TimeoutError):
                    await usborva.aio.next_event(control, "PINResponse", timeout=0.1)
            return first, done

    first, done = asyncio.run(session())
    assert first.name == "DeviceStatusChanged" and done.args == {"DisplayStatus": 0}


def test_a_handler_error_stops_the_driver():
    async def session():
        with usborva.Host() as host:
            host.use_scenario_text("wait 20ms\ndevice-status 1 0 0\nwait 20ms\n")
            control = host.create_control()
            control.on("DeviceStatusChanged", lambda event: 1 / 0)
            driver = usborva.aio.Driver(host)
            driver.start()
            control.PortOpen = True
            with pytest.raises(ZeroDivisionError):
                await asyncio.wait_for(driver.done, 10)
            with pytest.raises(ZeroDivisionError):
                driver.stop()

    asyncio.run(session())


def _wheel_tools_missing():
    probe = "import setuptools, wheel, venv, ensurepip"
    return subprocess.run([sys.executable, "-c", probe], capture_output=True).returncode != 0


@pytest.mark.skipif(not os.environ.get("USBORVA_LIBRARY") or _wheel_tools_missing(),
                    reason="needs the build's library, setuptools, wheel and venv")
def test_wheel_installs_into_a_fresh_environment(tmp_path):
    wheel = subprocess.run(
        ["sh", str(PYTHON_DIR / "build_wheel.sh"), os.environ["USBORVA_LIBRARY"],
         str(tmp_path / "out")], check=True, capture_output=True, text=True).stdout.strip()
    assert wheel.endswith(".whl") and "-none-any" not in wheel
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    subprocess.run([str(venv / "bin" / "python"), "-m", "pip", "install", "--quiet",
                    "--no-index", wheel], check=True)
    script = (
        "import pathlib, usborva, usborva.testing\n"
        "import usborva._library as l\n"
        "assert pathlib.Path(usborva.__file__).is_relative_to(pathlib.Path('venv').resolve())\n"
        "assert l.BUNDLED and pathlib.Path(l.BUNDLED).exists()\n"
        "assert (pathlib.Path(usborva.__file__).parent / 'py.typed').exists()\n"
        "s = usborva.testing.rehearse('wait 10ms\\ndevice-status 1 0 0\\nwait 10ms\\n')\n"
        "print(s.names)\n")
    environment = {k: v for k, v in os.environ.items()
                   if k not in ("USBORVA_LIBRARY", "PYTHONPATH")}
    result = subprocess.run([str(venv / "bin" / "python"), "-c", script], cwd=tmp_path,
                            env=environment, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "['DeviceStatusChanged']"
