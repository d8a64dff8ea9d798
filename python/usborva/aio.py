# SPDX-License-Identifier: Apache-2.0
"""The host driven from a running asyncio event loop, instead of Host.run_for.

    async def main():
        with usborva.Host() as host:
            control = host.create_control()
            async with usborva.aio.Driver(host):
                control.PortOpen = True
                event = await usborva.aio.next_event(control, "CardDataChanged", timeout=60)
                print(control.masked_pan)

The driver keeps one timer on the loop, set for when the host next has work; handlers run
inside it, on the loop's thread, which must be the host's thread.
"""
import asyncio
from typing import Any, Optional

import usborva

# How long the driver sleeps at most before asking the host again: a call into a control
# (opening the port, say) may bring work forward without telling the loop.
POLL_SECONDS = 0.05


class Driver:
    """Dispatches a host's due work from the running event loop until stopped. An
    exception of a handler stops the driver; it is raised by stop() (or leaving an
    ``async with``) and set on the done future."""

    def __init__(self, host: usborva.Host) -> None:
        self._host = host
        self._loop: Optional[asyncio.AbstractEventLoop] = None
        self._timer: Optional[asyncio.TimerHandle] = None
        self.done: Optional["asyncio.Future[None]"] = None

    def start(self) -> None:
        """Starts dispatching; call from a coroutine or callback of the loop."""
        self._loop = asyncio.get_running_loop()
        self.done = self._loop.create_future()
        self._schedule(0)

    def kick(self) -> None:
        """Asks the host for its next work now (after a call that may have changed it)."""
        if self._timer is not None:
            self._timer.cancel()
            self._schedule(0)

    def _schedule(self, delay: float) -> None:
        assert self._loop is not None
        self._timer = self._loop.call_later(delay, self._tick)

    def _tick(self) -> None:
        try:
            self._host.dispatch()
            wait = self._host.next_timeout_ms()
        except BaseException as error:
            self._timer = None
            if self.done is not None and not self.done.done():
                self.done.set_exception(error)
            return
        self._schedule(POLL_SECONDS if wait is None else min(wait / 1000, POLL_SECONDS))

    def stop(self) -> None:
        """Stops dispatching; raises what stopped the driver, if anything did."""
        if self._timer is not None:
            self._timer.cancel()
            self._timer = None
        if self.done is not None:
            if not self.done.done():
                self.done.set_result(None)
            elif self.done.exception() is not None:
                raise self.done.exception()

    async def __aenter__(self) -> "Driver":
        self.start()
        return self

    async def __aexit__(self, *exc: Any) -> None:
        self.stop()


async def next_event(control: usborva.Control, name: Optional[str] = None,
                     timeout: Optional[float] = None) -> usborva.Event:
    """The control's next event (of that name, when given), while a Driver runs the host.
    Raises asyncio.TimeoutError when timeout seconds pass first."""
    loop = asyncio.get_running_loop()
    arrived: "asyncio.Future[usborva.Event]" = loop.create_future()

    def handler(event: usborva.Event) -> None:
        if not arrived.done():
            arrived.set_result(event)

    names = [name] if name is not None else list(usborva.EVENT_IDS)
    for each in names:
        control.on(each, handler)
    try:
        return await asyncio.wait_for(arrived, timeout)
    finally:
        for each in names:
            control.off(each, handler)
