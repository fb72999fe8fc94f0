"""What the package adds on top of the OPOS members: constants, claimed(), check(),
OposError and the type stubs."""
import subprocess
import sys
from pathlib import Path

import pytest

import opos
from opos import _opos


def test_constants_and_refusals_without_a_device():
    assert (opos.OPOS_SUCCESS, opos.OPOS_E_CLAIMED, opos.PTR_S_RECEIPT) == (0, 102, 2)
    assert (opos.PTR_BM_CENTER, opos.PTR_SUE_COVER_OPEN, opos.OPOS_ER_CLEAR) == (-2, 11, 12)
    p = opos.POSPrinter()
    assert p.Open("NoSuchDevice") == opos.OPOS_E_NOEXIST
    assert p.PrintNormal(opos.PTR_S_RECEIPT, "x") == opos.OPOS_E_CLOSED
    assert p.State == opos.OPOS_S_CLOSED and p.DeviceName == ""
    assert p.ControlObjectDescription == "OPOS POSPrinter Control Object"
    with pytest.raises(opos.OposError) as raised:
        opos.check(p.Open("NoSuchDevice"), p)
    assert raised.value.result == opos.OPOS_E_NOEXIST
    with pytest.raises(TypeError):
        p.PrintNormal("receipt", "x")
    with pytest.raises(TypeError):
        p.on_error = 5
    with pytest.raises(AttributeError):
        p.DeviceName = "x"  # read-only


def test_claimed_releases_after_an_exception(vprinter):
    with pytest.raises(RuntimeError):
        with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as p:
            raise RuntimeError("the sale failed")
    assert p.State == opos.OPOS_S_CLOSED
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter") as again:
        assert again.Claimed
        with pytest.raises(opos.OposError) as raised:
            with opos.claimed(opos.POSPrinter, "ReceiptPrinter", timeout=0):
                pass
        assert raised.value.result in (opos.OPOS_E_CLAIMED, opos.OPOS_E_TIMEOUT)


def test_stubs_name_every_member_of_the_tables():
    stubs = (Path(opos.__file__).parent / "__init__.pyi").read_text()
    for class_name in ("POSPrinter", "CashDrawer", "LineDisplay"):
        for common in (True, False):
            table = _opos._member_table(class_name, common)
            for name, *_ in table["methods"]:
                assert f"def {name}(self" in stubs
                assert hasattr(getattr(opos, class_name), name)
            for name, *_ in table["properties"]:
                assert f"    {name}: " in stubs or f"def {name}(self) ->" in stubs
    for name in dir(opos):
        if isinstance(getattr(opos, name), int) and not name.startswith("_"):
            assert f"\n{name}: int" in stubs
            assert name in opos.__all__


def test_program_ending_with_devices_open_exits_cleanly(vprinter):
    # Objects still claimed at exit, one reachable only through another's handler: the
    # module closes them on its thread and ends it before the interpreter goes.
    script = """
import gc
import opos
gc.disable()  # the pair below is garbage nobody has collected yet at exit

def leave_open():
    p = opos.POSPrinter()
    assert p.Open("ReceiptPrinter") == 0 and p.ClaimDevice(1000) == 0
    p.DeviceEnabled = True
    other = opos.POSPrinter()
    p.on_status_update = lambda data: other.State
    other.on_status_update = lambda data: p.State

leave_open()
print("open")
"""
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=60)
    assert (done.returncode, done.stdout) == (0, "open\n"), done.stderr
    with opos.claimed(opos.POSPrinter, "ReceiptPrinter", timeout=5000):
        pass
