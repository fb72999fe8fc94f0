"""OPOS control objects for Python: POSPrinter, CashDrawer and LineDisplay.

The members carry their OPOS names and return what the control objects return; methods
with by-reference parameters return a tuple (result, value, ...). Event handlers
(on_status_update, on_output_complete, on_error, on_direct_io) run on the module's own
thread; events() and print_async() serve asyncio. See docs/python.md.
"""
from __future__ import annotations

import contextlib
from typing import Iterator, Optional, Type, TypeVar

from . import _opos
from ._opos import *  # noqa: F401,F403  the OPOS constants
from ._events import (DirectIOEvent, ErrorEvent, EventStream, OposError,  # noqa: F401
                      OutputCompleteEvent, StatusUpdateEvent, EventSource)

ControlObject = _opos.ControlObject


class POSPrinter(EventSource, _opos.POSPrinter):
    """The POS printer control object."""


class CashDrawer(EventSource, _opos.CashDrawer):
    """The cash drawer control object."""


class LineDisplay(EventSource, _opos.LineDisplay):
    """The line display control object."""


def check(result: int, device: Optional[ControlObject] = None) -> int:
    """Returns ``result`` when it is OPOS_SUCCESS, otherwise raises OposError with the
    device's ResultCodeExtended."""
    if isinstance(result, tuple):
        result = result[0]
    if result == _opos.OPOS_SUCCESS:
        return result
    extended = device.ResultCodeExtended if device is not None else 0
    raise OposError(result, extended)


Device = TypeVar("Device", POSPrinter, CashDrawer, LineDisplay)


@contextlib.contextmanager
def claimed(device_class: Type[Device], name: str, timeout: int = 1000,
            enable: bool = True) -> Iterator[Device]:
    """Opens, claims and enables a device; on leaving disables, releases and closes it,
    also after an exception. Failures raise OposError."""
    device = device_class()
    check(device.Open(name), device)
    try:
        check(device.ClaimDevice(timeout), device)
        try:
            if enable:
                device.DeviceEnabled = True
                check(device.ResultCode, device)
            yield device
        finally:
            if enable:
                device.DeviceEnabled = False
            device.ReleaseDevice()
    finally:
        device.Close()


__all__ = [name for name in dir(_opos)  # the constants
           if isinstance(getattr(_opos, name), int) and not name.startswith("_")]
__all__ += ["POSPrinter", "CashDrawer", "LineDisplay", "ControlObject", "OposError", "check",
            "claimed", "EventStream", "StatusUpdateEvent", "OutputCompleteEvent", "ErrorEvent",
            "DirectIOEvent"]
