"""The receipt printer through the module: printing, events through handlers and events(),
errors answered from a handler, handlers calling back, and objects that are collected."""
import asyncio
import gc
import sys
import threading

import pytest

import opos
from conftest import wait_until


def test_receipt_printed_synchronously_and_by_reference_results(vprinter):
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
        assert p.Claimed and p.DeviceEnabled
        assert p.PrintNormal(opos.PTR_S_RECEIPT, "Total 9.99\n") == opos.OPOS_SUCCESS
        assert p.ResultCode == opos.OPOS_SUCCESS
        assert p.CutPaper(90) == opos.OPOS_SUCCESS
        result, data, text = p.DirectIO(99999, 7, "x")
        assert isinstance(result, int) and isinstance(data, int) and isinstance(text, str)
        with pytest.raises(TypeError):
            p.PrintNormal(opos.PTR_S_RECEIPT)
    wait_until(lambda: "Total 9.99" in vprinter.printed(), what="the receipt")
    assert p.State == opos.OPOS_S_CLOSED


@pytest.mark.asyncio
async def test_receipt_printed_asynchronously_completes_through_handler_and_events(vprinter):
    completed = []
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
        p.on_output_complete = completed.append
        async with p.events() as events:
            output_id = await asyncio.wait_for(
                p.print_async(opos.PTR_S_RECEIPT, "Async total 1.50\n"), 10)
            event = await events.next(timeout=10)
            while not isinstance(event, opos.OutputCompleteEvent):
                event = await events.next(timeout=10)
            assert event.output_id == output_id
        await p.print_async(opos.PTR_S_RECEIPT, "\x1b|fP")  # cut: the receipt is done
    assert completed == [output_id, output_id + 1]
    wait_until(lambda: "Async total 1.50" in vprinter.printed(), what="the receipt")


def test_cover_open_and_close_reach_handler_and_events(vprinter):
    seen = []

    async def main():
        with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
            p.on_status_update = seen.append
            async with p.events() as events:
                vprinter.command("cover open")
                statuses = []
                while opos.PTR_SUE_COVER_OK not in statuses:
                    event = await events.next(timeout=10)
                    if isinstance(event, opos.StatusUpdateEvent):
                        statuses.append(event.data)
                        if event.data == opos.PTR_SUE_COVER_OPEN:
                            vprinter.command("cover close")
            return statuses

    statuses = asyncio.run(main())
    assert statuses.index(opos.PTR_SUE_COVER_OPEN) < statuses.index(opos.PTR_SUE_COVER_OK)
    assert opos.PTR_SUE_COVER_OPEN in seen and opos.PTR_SUE_COVER_OK in seen


@pytest.mark.parametrize("answer", ["retry", "raise"])
def test_error_answered_retry_from_handler_then_printed(vprinter, monkeypatch, answer):
    # A handler that raises leaves the service object's proposal (retry) standing.
    errors = []
    monkeypatch.setattr(sys, "unraisablehook", lambda report: None)

    def on_error(result, extended, locus, response):
        errors.append((result, extended, locus, response))
        vprinter.command("cover close")  # the person at the till closes the cover
        if answer == "raise":
            raise RuntimeError("a fault in the application's handler")
        return opos.OPOS_ER_RETRY

    async def main():
        with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
            p.on_error = on_error
            vprinter.command("cover open")
            wait_until(lambda: p.CoverOpen, what="the cover to be seen open")
            output_id = await asyncio.wait_for(p.print_async(opos.PTR_S_RECEIPT, "After retry\n"), 20)
            await p.print_async(opos.PTR_S_RECEIPT, "\x1b|fP")
            return output_id

    assert asyncio.run(main()) > 0
    assert errors and errors[0][:2] == (opos.OPOS_E_EXTENDED, opos.OPOS_EPTR_COVER_OPEN)
    wait_until(lambda: "After retry" in vprinter.printed(), what="the retried receipt")


def test_error_cleared_by_handler_raises_opos_error_in_print_async(vprinter):
    async def main():
        with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
            p.on_error = lambda result, extended, locus, response: opos.OPOS_ER_CLEAR
            vprinter.command("cover open")
            wait_until(lambda: p.CoverOpen, what="the cover to be seen open")
            with pytest.raises(opos.OposError) as raised:
                await asyncio.wait_for(p.print_async(opos.PTR_S_RECEIPT, "Never\n"), 20)
            vprinter.command("cover close")
            return raised.value

    error = asyncio.run(main())
    assert (error.result, error.extended) == (opos.OPOS_E_EXTENDED, opos.OPOS_EPTR_COVER_OPEN)
    assert error.locus == opos.OPOS_EL_OUTPUT


def test_handler_calls_back_raises_and_closes_its_own_object(vprinter, monkeypatch):
    unraisable = []
    monkeypatch.setattr(sys, "unraisablehook", unraisable.append)
    p = opos.POSPrinter()
    assert p.Open("ReceiptPrinter") == opos.OPOS_SUCCESS
    assert p.ClaimDevice(1000) == opos.OPOS_SUCCESS
    p.DeviceEnabled = True
    calls = []

    def on_status_update(data):
        calls.append((data, p.State, p.CoverOpen, threading.current_thread() is threading.main_thread()))
        if data == opos.PTR_SUE_COVER_OPEN:
            raise ValueError("a faulty handler")
        if data == opos.PTR_SUE_COVER_OK:
            calls.append(("closed", p.Close()))

    p.on_status_update = on_status_update
    vprinter.command("cover open")
    wait_until(lambda: unraisable, what="the handler's exception to be reported")
    assert isinstance(unraisable[0].exc_value, ValueError)
    assert unraisable[0].object is on_status_update
    vprinter.command("cover close")  # the event thread lives on after the exception
    wait_until(lambda: ("closed", opos.OPOS_SUCCESS) in calls, what="the close from the handler")
    assert calls[0][:3] == (opos.PTR_SUE_COVER_OPEN, opos.OPOS_S_IDLE, True)
    assert not any(entry[3] for entry in calls if len(entry) == 4)  # never on the main thread
    assert p.State == opos.OPOS_S_CLOSED
    # The device is free again.
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter"):
        pass


def _claim_is_free():
    other = opos.POSPrinter()
    try:
        assert other.Open("ReceiptPrinter") == opos.OPOS_SUCCESS
        return other.ClaimDevice(0) == opos.OPOS_SUCCESS
    finally:
        other.Close()


def test_collected_objects_release_the_device(vprinter):
    p = opos.POSPrinter()
    assert p.Open("ReceiptPrinter") == 0 and p.ClaimDevice(1000) == 0
    assert not _claim_is_free()
    del p  # no cycle: released at once
    assert _claim_is_free()

    p = opos.POSPrinter()
    assert p.Open("ReceiptPrinter") == 0 and p.ClaimDevice(1000) == 0
    p.on_status_update = lambda data: p.State  # a cycle through the handler
    del p
    gc.collect()
    assert _claim_is_free()


def test_thousand_events_while_the_main_thread_keeps_calling():
    count = 1000
    seen = []
    done = threading.Event()
    callbacks_ok = []

    with opos.claimed(opos.POSPrinter, "EventSource") as p:
        def on_status_update(data):
            seen.append(data)
            if data % 100 == 0:
                callbacks_ok.append(p.Claimed)  # a call back into the device
            if len(seen) == count:
                done.set()

        p.on_status_update = on_status_update
        for i in range(count):
            assert p.DirectIO(1, i, "") == (opos.OPOS_SUCCESS, i, "")
            assert p.State == opos.OPOS_S_IDLE
        while not done.is_set():
            assert p.ResultCode == opos.OPOS_SUCCESS
            done.wait(0.01)
            assert len(seen) <= count
    assert seen == list(range(count))
    assert callbacks_ok == [True] * 10


def test_direct_io_handler_answers_and_events_carry_the_answer():
    async def main():
        with opos.claimed(opos.POSPrinter, "EventSource") as p:
            p.on_direct_io = lambda number, data, text: (data + 1, text + "!")
            async with p.events() as events:
                assert p.DirectIO(5, 41, "hi")[0] == opos.OPOS_SUCCESS
                return await events.next(timeout=10)

    # The test service object raises event number `data` with data 0.
    assert asyncio.run(main()) == opos.DirectIOEvent(41, 1, "hi!")


@pytest.mark.asyncio
async def test_print_async_after_reopening_waits_for_its_own_request():
    # Output ids start again with a new service object; a completion from before that nobody
    # awaited must not finish a later request of the same id.
    with opos.claimed(opos.POSPrinter, "EventSource") as p:
        p.AsyncMode = True
        async with p.events() as events:
            assert p.PrintNormal(opos.PTR_S_RECEIPT, "not awaited\n") == opos.OPOS_SUCCESS
            first_id = p.OutputID
            while await events.next(timeout=10) != opos.OutputCompleteEvent(first_id):
                pass
        p.ReleaseDevice()
        p.Close()
        assert p.Open("EventSource") == opos.OPOS_SUCCESS
        assert p.ClaimDevice(1000) == opos.OPOS_SUCCESS
        p.DeviceEnabled = True
        p.AsyncMode = True
        p.FreezeEvents = True  # holds the completion back: the await must not end before it
        task = asyncio.ensure_future(p.print_async(opos.PTR_S_RECEIPT, "awaited\n"))
        await asyncio.sleep(0.3)
        assert not task.done()
        p.FreezeEvents = False
        assert await asyncio.wait_for(task, 10) == p.OutputID == first_id
