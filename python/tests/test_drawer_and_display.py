"""The cash drawer on the printer's kick connector and the line display, and a wait that
Ctrl-C interrupts."""
import signal
import subprocess
import sys
import threading
from pathlib import Path

import pytest

import opos
from conftest import wait_until


def test_drawer_opened_and_closed(vprinter):
    updates = []
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter"), \
            opos.claimed(opos.CashDrawer, "Drawer") as drawer:
        drawer.on_status_update = updates.append
        assert drawer.DrawerOpened is False
        assert drawer.OpenDrawer() == opos.OPOS_SUCCESS
        wait_until(lambda: "drawer kicked open" in vprinter.logged(), what="the kick")
        wait_until(lambda: drawer.DrawerOpened, what="the drawer to be seen open")
        vprinter.command("drawer close")
        assert drawer.WaitForDrawerClose(10000, 880, 100, 200) == opos.OPOS_SUCCESS
        assert drawer.DrawerOpened is False
        wait_until(lambda: opos.CASH_SUE_DRAWERCLOSED in updates, what="the close event")
    assert updates.index(opos.CASH_SUE_DRAWEROPEN) < updates.index(opos.CASH_SUE_DRAWERCLOSED)


def test_ctrl_c_interrupts_a_wait_for_the_drawer(vprinter):
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter"), \
            opos.claimed(opos.CashDrawer, "Drawer") as drawer:
        assert drawer.OpenDrawer() == opos.OPOS_SUCCESS
        wait_until(lambda: drawer.DrawerOpened, what="the drawer to be seen open")
        main = threading.get_ident()
        timer = threading.Timer(0.3, signal.pthread_kill, (main, signal.SIGINT))
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            drawer.WaitForDrawerClose(60000, 880, 100, 1000)
        timer.join()
        # The interrupted wait ends when the drawer closes; the device is usable after it.
        vprinter.command("drawer close")
        wait_until(lambda: not drawer.DrawerOpened, what="the drawer to be seen closed")


def test_display_shows_text(vdisplay):
    with opos.claimed(opos.LineDisplay, "Display") as display:
        assert display.Rows == 2 and display.Columns == 20
        assert display.ClearText() == opos.OPOS_SUCCESS
        assert display.DisplayTextAt(0, 0, "Total", opos.DISP_DT_NORMAL) == opos.OPOS_SUCCESS
        assert display.DisplayTextAt(1, 0, "EUR 12.50".rjust(20), opos.DISP_DT_NORMAL) == 0
        result, character = display.ReadCharacterAtCursor()
        assert result in (opos.OPOS_SUCCESS, opos.OPOS_E_ILLEGAL) and isinstance(character, int)
    wait_until(lambda: "EUR 12.50" in vdisplay.printed() and "Total" in vdisplay.printed(),
               what="the text on the display")


def test_the_till_example_sells_and_waits_for_the_drawer(vprinter, vdisplay):
    till = Path(__file__).resolve().parents[1] / "examples" / "till.py"
    run = subprocess.Popen([sys.executable, str(till)], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True)
    try:
        wait_until(lambda: "drawer kicked open" in vprinter.logged(), timeout=30,
                   what="the till to open the drawer")
        vprinter.command("drawer close")
        output, _ = run.communicate(timeout=30)
    finally:
        run.kill()
    assert run.returncode == 0, output
    assert "sale done: 20.60" in output
    wait_until(lambda: "EUR 20.60" in vdisplay.printed(), what="the total on the display")
    wait_until(lambda: "Thank you!" in vprinter.printed(), what="the receipt")
    assert "TOTAL" in vprinter.printed()
