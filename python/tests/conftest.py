"""The rig of the Python module's tests: a temporary registry store with the printer, its
drawer and the display registered, and the virtual printer and display on pseudo-terminals
of a temporary folder. Each test gets freshly started virtual devices.

Run with Debian's interpreter, the package on PYTHONPATH and OPOS_BUILD_DIR set (ctest
does all three): /usr/bin/python3 -m pytest python/tests
"""
import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

BUILD = Path(os.environ.get("OPOS_BUILD_DIR", Path(__file__).resolve().parents[2] / "build"))
WORK = Path(tempfile.mkdtemp(prefix="opos-python-"))
# Before the module first reads the registry store.
os.environ["OPOS_REGISTRY"] = str(WORK / "registry.sqlite")

SERIAL = {"Baudrate": 6, "BitLength": 8, "HandShake": 0, "Parity": 0, "Stop": 1, "XonXoff": 0}


def _reg_entry(device_class, key, logical_name, prog_id, values):
    lines = [f"[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\{device_class}]",
             f'"{logical_name}"="{key}"', "",
             f"[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\{device_class}\\{key}]",
             f'@="{prog_id}"']
    for name, value in values.items():
        lines.append(f'"{name}"=dword:{value:08x}' if isinstance(value, int)
                     else f'"{name}"="{value}"')
    return "\n".join(lines) + "\n\n"


def _make_registry():
    printer_port, display_port = WORK / "ttyP0", WORK / "ttyD0"
    reg = "REGEDIT4\n\n"
    reg += _reg_entry("POSPrinter", "PyPrinter", "ReceiptPrinter", "RecPrinter.POSPrinter.SO",
                      {**SERIAL, "Port": str(printer_port), "DeviceName": "Thermal42"})
    reg += _reg_entry("CashDrawer", "PyDrawer", "Drawer", "Standard.CashDrawer.SO",
                      {**SERIAL, "Port": str(printer_port), "ConnectorPinNo": 2,
                       "OpenLevel": 1, "DeviceName": "StandardS"})
    reg += _reg_entry("LineDisplay", "PyDisplay", "Display", "Display.LineDisplay.SO2",
                      {**SERIAL, "Port": str(display_port), "DeviceName": "XV-310K"})
    # The control objects' test service object raises any number of events on request
    # (DirectIO 1: a status update, 5: a direct I/O event), for the tests of the event path.
    reg += _reg_entry("POSPrinter", "PyTestPrinter", "EventSource", "Test.POSPrinter.SO", {})
    (WORK / "devices.reg").write_text(reg)
    oposreg = [str(BUILD / "bin" / "oposreg"), "--registry", os.environ["OPOS_REGISTRY"]]
    for library in ("Tandor_POSPrinterSO.so", "OrvelDisplaySO.so", "libopos_test_so.so"):
        subprocess.run(oposreg + ["register", str(BUILD / "lib" / library)], check=True,
                       stdout=subprocess.DEVNULL)
    subprocess.run(oposreg + ["import", str(WORK / "devices.reg")], check=True,
                   stdout=subprocess.DEVNULL)


_make_registry()


def pytest_sessionfinish(session, exitstatus):
    shutil.rmtree(WORK, ignore_errors=True)


def wait_until(condition, timeout=10.0, what="condition"):
    """Polls `condition` until it holds; fails the test after a generous limit."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail(f"timed out waiting for {what}")
        time.sleep(0.01)


class VirtualDevice:
    """A virtual device program on a pseudo-terminal, driven through its command input."""

    def __init__(self, program, tty, name):
        self.text = WORK / f"{name}.txt"
        self.log = WORK / f"{name}-log.txt"
        self._answers = open(WORK / f"{name}-answers.txt", "w+")
        self._process = subprocess.Popen(
            [str(BUILD / "bin" / program), "--pty", str(WORK / tty), "--text", str(self.text),
             "--log", str(self.log)],
            stdin=subprocess.PIPE, stdout=self._answers, stderr=subprocess.STDOUT, text=True)
        wait_until(lambda: "listening" in self.answers(), what=f"{program} to listen")

    def answers(self):
        self._answers.flush()
        return Path(self._answers.name).read_text()

    def command(self, line):
        self._process.stdin.write(line + "\n")
        self._process.stdin.flush()

    def printed(self):
        return self.text.read_text() if self.text.exists() else ""

    def logged(self):
        return self.log.read_text(errors="replace") if self.log.exists() else ""

    def stop(self):
        try:
            self.command("quit")
            self._process.stdin.close()
            self._process.wait(timeout=10)
        except (BrokenPipeError, subprocess.TimeoutExpired):
            self._process.kill()
            self._process.wait()
        self._answers.close()


@pytest.fixture
def vprinter():
    device = VirtualDevice("vprinter", "ttyP0", "printer")
    yield device
    device.stop()


@pytest.fixture
def vdisplay():
    device = VirtualDevice("vdisplay", "ttyD0", "display")
    yield device
    device.stop()
