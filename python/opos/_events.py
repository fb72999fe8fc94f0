"""The asyncio side of the devices: event records, event streams and awaited output.

The module's thread calls ``EventSource._observe`` for every event, after the object's own
handler, with the GIL held. It never blocks there: records reach an event loop through
``loop.call_soon_threadsafe``.
"""
from __future__ import annotations

import asyncio
import collections
import threading
import weakref
from dataclasses import dataclass
from typing import Any, Optional

from . import _opos

_DIRECT_IO, _ERROR, _OUTPUT_COMPLETE, _STATUS_UPDATE = 2, 3, 4, 5
# Completions that arrived before print_async() had registered its request.
_EARLY_COMPLETIONS_KEPT = 1024


class OposError(Exception):
    """A result code other than OPOS_SUCCESS, with the extended code and error locus."""

    def __init__(self, result: int, extended: int = 0, locus: int = 0, message: str = ""):
        self.result, self.extended, self.locus = result, extended, locus
        text = message or f"OPOS result {result}"
        if extended:
            text += f" (extended {extended})"
        super().__init__(text)


@dataclass(frozen=True)
class StatusUpdateEvent:
    data: int


@dataclass(frozen=True)
class OutputCompleteEvent:
    output_id: int


@dataclass(frozen=True)
class ErrorEvent:
    result: int
    extended: int
    locus: int
    response: int  # the answer the device got (after the on_error handler)


@dataclass(frozen=True)
class DirectIOEvent:
    number: int
    data: int
    text: str


Event = Any  # one of the four records above


def _record(kind: int, values: tuple):
    if kind == _STATUS_UPDATE:
        return StatusUpdateEvent(*values)
    if kind == _OUTPUT_COMPLETE:
        return OutputCompleteEvent(*values)
    if kind == _ERROR:
        return ErrorEvent(*values)
    return DirectIOEvent(*values)


def _call_in_loop(loop, function, *args) -> bool:
    try:
        loop.call_soon_threadsafe(function, *args)
        return True
    except RuntimeError:  # the loop has been closed
        return False


def _settle(future: asyncio.Future, value=None, error: Optional[BaseException] = None):
    if future.done():
        return
    if error is not None:
        future.set_exception(error)
    else:
        future.set_result(value)


class EventStream:
    """``async for event in device.events()``: every event from the moment of the call.

    Create it inside a running event loop. It ends with ``aclose()`` (or ``async with``).
    """

    def __init__(self, device: "EventSource"):
        self._loop = asyncio.get_running_loop()
        self._queue: asyncio.Queue = asyncio.Queue()
        self._device = weakref.ref(device)
        self._closed = False
        device._add_stream(self)

    def _push(self, event) -> None:
        if not _call_in_loop(self._loop, self._queue.put_nowait, event):
            self._detach()

    def _detach(self) -> None:
        self._closed = True
        device = self._device()
        if device is not None:
            device._remove_stream(self)

    def __aiter__(self):
        return self

    async def __anext__(self):
        if self._closed and self._queue.empty():
            raise StopAsyncIteration
        return await self._queue.get()

    async def next(self, timeout: Optional[float] = None):
        """The next event; asyncio.TimeoutError after ``timeout`` seconds."""
        return await asyncio.wait_for(self._queue.get(), timeout)

    async def aclose(self) -> None:
        self._detach()

    async def __aenter__(self):
        return self

    async def __aexit__(self, *exc_info) -> None:
        self._detach()


def _weak_observer(device: "EventSource"):
    # Holds the device weakly, so that an object nobody uses is freed at once (and its
    # device released) rather than at the next collection.
    ref = weakref.ref(device)

    def observe(kind: int, values: tuple) -> None:
        target = ref()
        if target is not None:
            target._observe(kind, values)

    return observe


class EventSource:
    """Mixed into the device classes: events() and awaited output."""

    def __init__(self) -> None:
        super().__init__()
        self._event_lock = threading.Lock()
        self._streams: set = set()
        self._waiting: dict = {}  # output id -> (loop, future)
        # Output ids completed while an output_async() call had not yet registered its own
        # (kept only while such a call is under way, so an id used again after a new claim
        # never finds an old completion).
        self._early = collections.OrderedDict()
        self._registering = 0
        self._clears = 0  # errors answered OPOS_ER_CLEAR so far
        self._last_clear: Optional[OposError] = None
        self._observer = _weak_observer(self)

    def events(self) -> EventStream:
        return EventStream(self)

    def _add_stream(self, stream: EventStream) -> None:
        with self._event_lock:
            self._streams.add(stream)

    def _remove_stream(self, stream: EventStream) -> None:
        with self._event_lock:
            self._streams.discard(stream)

    def _observe(self, kind: int, values: tuple) -> None:
        event = _record(kind, values)
        settle = []
        with self._event_lock:
            streams = list(self._streams)
            if kind == _OUTPUT_COMPLETE:
                waiter = self._waiting.pop(event.output_id, None)
                if waiter:
                    settle.append((waiter, event.output_id, None))
                elif self._registering:
                    self._early[event.output_id] = True
                    while len(self._early) > _EARLY_COMPLETIONS_KEPT:
                        self._early.popitem(last=False)
            elif kind == _ERROR and event.response == _opos.OPOS_ER_CLEAR:
                # Clearing ends every request still queued.
                error = OposError(event.result, event.extended, event.locus,
                                  "output cleared after an error")
                self._clears += 1
                self._last_clear = error
                settle.extend((waiter, None, error) for waiter in self._waiting.values())
                self._waiting.clear()
        for (loop, future), value, error in settle:
            _call_in_loop(loop, _settle, future, value, error)
        for stream in streams:
            stream._push(event)

    async def output_async(self, method: str, *args) -> int:
        """Calls an output method in asynchronous mode and waits for its OutputComplete.

        Returns the request's OutputID. Raises OposError when the call is refused or the
        request ends in an error that was answered OPOS_ER_CLEAR.
        """
        loop = asyncio.get_running_loop()
        if not self.AsyncMode:
            self.AsyncMode = True
        future = loop.create_future()
        with self._event_lock:
            clears_before = self._clears
            self._registering += 1
        try:
            result = getattr(self, method)(*args)
            if isinstance(result, tuple):
                result = result[0]
            if result != _opos.OPOS_SUCCESS:
                raise OposError(result, self.ResultCodeExtended, 0, f"{method} refused")
            output_id = self.OutputID
            with self._event_lock:
                if self._early.pop(output_id, None):
                    future.set_result(output_id)
                elif self._clears != clears_before:
                    future.set_exception(self._last_clear)
                else:
                    self._waiting[output_id] = (loop, future)
        finally:
            with self._event_lock:
                self._registering -= 1
                if not self._registering:
                    self._early.clear()
        try:
            return await future
        finally:
            with self._event_lock:
                self._waiting.pop(output_id, None)

    async def print_async(self, station: int, data: str) -> int:
        """``PrintNormal`` in asynchronous mode, awaited until the receipt is printed."""
        return await self.output_async("PrintNormal", station, data)
