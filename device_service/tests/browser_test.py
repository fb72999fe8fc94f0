#!/usr/bin/python3
"""The service's page in headless Chromium: claims the virtual printer, prints a test receipt
and sees OutputComplete in the event log, opens the printer's cover and sees the page show it.
Screenshots go to out/screenshots/.

Usage: browser_test.py BIN_DIR LIB_DIR SCREENSHOT_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as ec
from selenium.webdriver.support.ui import WebDriverWait

ROOT = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\"
SERIAL = ('"Baudrate"=dword:00000006\n"BitLength"=dword:00000008\n"HandShake"=dword:00000000\n'
          '"Parity"=dword:00000000\n"Stop"=dword:00000001\n"XonXoff"=dword:00000000\n')


def entries(folder):
    return (f'REGEDIT4\n\n[{ROOT}POSPrinter]\n"Receipt1"="ThermalS"\n\n'
            f'[{ROOT}POSPrinter\\ThermalS]\n@="RecPrinter.POSPrinter.SO"\n{SERIAL}'
            f'"Port"="{folder}/ttyP0"\n"DeviceName"="Thermal42"\n\n'
            f'[{ROOT}CashDrawer\\Drawer1]\n@="Standard.CashDrawer.SO"\n{SERIAL}'
            f'"Port"="{folder}/ttyP0"\n"ConnectorPinNo"=dword:00000002\n"OpenLevel"=dword:00000001\n'
            f'"DeviceName"="StandardS"\n\n'
            f'[{ROOT}LineDisplay\\Display1]\n@="Display.LineDisplay.SO2"\n{SERIAL}'
            f'"Port"="{folder}/ttyD0"\n"DeviceName"="XV-310K"\n')


def start_device(program, args):
    device = subprocess.Popen([program] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              text=True, bufsize=1)
    line = device.stdout.readline()
    if not line.startswith("listening "):
        raise SystemExit(f"{program} did not start: {line}")
    return device


def command(device, line):
    device.stdin.write(line + "\n")
    device.stdin.flush()
    answer = device.stdout.readline()
    if not answer.startswith("ok"):
        raise SystemExit(f"{line}: {answer}")


def main():
    bin_dir, lib_dir, shots = sys.argv[1:4]
    os.makedirs(shots, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="oposd-browser-")
    registry = os.path.join(folder, "registry.sqlite")
    processes = []
    driver = None
    try:
        subprocess.run([f"{bin_dir}/oposreg", "--registry", registry, "register",
                        f"{lib_dir}/Tandor_POSPrinterSO.so", f"{lib_dir}/OrvelDisplaySO.so"],
                       check=True, stdout=subprocess.DEVNULL)
        entry_file = os.path.join(folder, "entries.reg")
        with open(entry_file, "w") as out:
            out.write(entries(folder))
        subprocess.run([f"{bin_dir}/oposreg", "--registry", registry, "import", entry_file],
                       check=True, stdout=subprocess.DEVNULL)
        printer = start_device(f"{bin_dir}/vprinter", ["--pty", f"{folder}/ttyP0"])
        processes.append(printer)
        display = start_device(f"{bin_dir}/vdisplay", ["--pty", f"{folder}/ttyD0"])
        processes.append(display)

        log_path = os.path.join(folder, "oposd.log")
        log = open(log_path, "w")
        service = subprocess.Popen([f"{bin_dir}/oposd", "--port", "0", "--listen", "127.0.0.1",
                                    "--registry", registry, "--token-file",
                                    os.path.join(folder, "token")], stderr=log)
        processes.append(service)
        port = None
        for _ in range(500):
            found = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", open(log_path).read())
            if found:
                port = int(found.group(1))
                break
            time.sleep(0.02)
        if not port:
            raise SystemExit("oposd did not start:\n" + open(log_path).read())
        token = open(os.path.join(folder, "token")).read().strip()

        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", "--window-size=1280,900",
                         "--user-data-dir=" + os.path.join(folder, "profile")):
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        wait = WebDriverWait(driver, 15)

        driver.get(f"http://127.0.0.1:{port}/#token={token}")
        card = wait.until(ec.presence_of_element_located(
            (By.CSS_SELECTOR, 'article[data-device="Receipt1"]')))
        wait.until(lambda d: "#token" not in d.current_url)  # taken out of the address bar
        wait.until(ec.text_to_be_present_in_element((By.ID, "connection"), "Connected"))
        assert len(driver.find_elements(By.CSS_SELECTOR, "article.card")) == 3

        for name in ("Receipt1", "Drawer1", "Display1"):
            driver.find_element(
                By.CSS_SELECTOR, f'article[data-device="{name}"] button[data-action="claim"]').click()
            wait.until(ec.text_to_be_present_in_element(
                (By.CSS_SELECTOR, f'article[data-device="{name}"] .claim-pill'), "Claimed"))
        wait.until(ec.text_to_be_present_in_element(
            (By.CSS_SELECTOR, 'article[data-device="Receipt1"] dd[data-field="cover"]'), "Closed"))

        card.find_element(By.CSS_SELECTOR, 'button[data-action="print"]').click()
        wait.until(ec.presence_of_element_located(
            (By.CSS_SELECTOR, '#log tr[data-type="OutputComplete"][data-device="Receipt1"]')))
        # Cut: one more OutputComplete for the printer.
        completions = '#log tr[data-type="OutputComplete"][data-device="Receipt1"]'
        done = len(driver.find_elements(By.CSS_SELECTOR, completions))
        card.find_element(By.CSS_SELECTOR, 'button[data-action="cut"]').click()
        wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, completions)) > done)
        # Drawer: the kick opens the printer's drawer and the card follows it open and closed.
        drawer_field = (By.CSS_SELECTOR, 'article[data-device="Drawer1"] dd[data-field="drawer"]')
        driver.find_element(
            By.CSS_SELECTOR, 'article[data-device="Drawer1"] button[data-action="drawer"]').click()
        wait.until(ec.text_to_be_present_in_element(drawer_field, "Open"))
        command(printer, "drawer close")
        wait.until(ec.text_to_be_present_in_element(drawer_field, "Closed"))

        display_card = driver.find_element(By.CSS_SELECTOR, 'article[data-device="Display1"]')
        text = display_card.find_element(By.CSS_SELECTOR, "input")
        text.clear()
        text.send_keys("Total  12.50")
        display_card.find_element(By.CSS_SELECTOR, 'button[data-action="show"]').click()
        wait.until(ec.text_to_be_present_in_element(
            (By.CSS_SELECTOR, 'article[data-device="Display1"] .display-text'), "Total  12.50"))
        command(display, "show")
        time.sleep(0.5)  # let the row's highlight fade for the picture
        driver.save_screenshot(os.path.join(shots, "device_service_printed.png"))

        command(printer, "cover open")
        wait.until(ec.text_to_be_present_in_element(
            (By.CSS_SELECTOR, 'article[data-device="Receipt1"] dd[data-field="cover"]'), "Open"))
        wait.until(ec.presence_of_element_located((By.XPATH,
            '//tbody[@id="log"]/tr[@data-type="StatusUpdate"]/td[contains(., "Cover open")]')))
        time.sleep(0.5)
        driver.save_screenshot(os.path.join(shots, "device_service_cover_open.png"))
        problems = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
        assert not problems, problems
        print("browser test passed; screenshots in", shots)
    finally:
        if driver:
            driver.quit()
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
