#!/usr/bin/python3
"""A till in a few dozen lines: prints a receipt with a logo and a barcode, shows the total
on the customer display, opens the cash drawer and waits until it is closed again.

usage: till.py [PRINTER DRAWER DISPLAY]   (logical names; ReceiptPrinter Drawer Display)
"""
import asyncio
import sys
from pathlib import Path

import opos

LOGO = Path(__file__).resolve().parents[2] / "demo" / "logo.bmp"
ITEMS = [("Coffee beans 1 kg", 12.50), ("Milk 2 l", 2.10), ("Pastries x3", 6.00)]
RECEIPT = opos.PTR_S_RECEIPT


async def sell(printer, drawer, display):
    total = sum(price for _, price in ITEMS)
    width = printer.RecLineChars
    await printer.output_async("PrintBitmap", RECEIPT, str(LOGO), opos.PTR_BM_ASIS,
                               opos.PTR_BM_CENTER)
    lines = "".join(f"{name:<{width - 8}}{price:8.2f}\n" for name, price in ITEMS)
    lines += "-" * width + f"\n\x1b|bC{'TOTAL':<{width - 8}}{total:8.2f}\x1b|N\n\n"
    await printer.print_async(RECEIPT, lines)
    await printer.output_async("PrintBarCode", RECEIPT, "03600029145", opos.PTR_BCS_UPCA, 60,
                               300, opos.PTR_BC_CENTER, opos.PTR_BC_TEXT_BELOW)
    await printer.print_async(RECEIPT, "\n\x1b|cAThank you!\n\x1b|fP")  # feed and cut

    display.DisplayTextAt(0, 0, "TOTAL".ljust(20), opos.DISP_DT_NORMAL)
    display.DisplayTextAt(1, 0, f"EUR {total:.2f}".rjust(20), opos.DISP_DT_NORMAL)

    async with drawer.events() as events:
        opos.check(drawer.OpenDrawer(), drawer)
        print("drawer open: waiting for it to be closed")
        async for event in events:
            if event == opos.StatusUpdateEvent(opos.CASH_SUE_DRAWERCLOSED):
                break
    print(f"sale done: {total:.2f}")


def main():
    names = sys.argv[1:]
    if names and len(names) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    printer_name, drawer_name, display_name = names or ("ReceiptPrinter", "Drawer", "Display")
    with opos.claimed(opos.POSPrinter, printer_name) as printer, \
            opos.claimed(opos.CashDrawer, drawer_name) as drawer, \
            opos.claimed(opos.LineDisplay, display_name) as display:
        asyncio.run(sell(printer, drawer, display))


if __name__ == "__main__":
    main()
