#!/usr/bin/env bash
# Runs the demo. $1 is the build directory.
#
# The virtual printer listens on a pseudo-terminal; a temporary registry gets the printer
# service object registered and, through the setup utility Confix, a device entry pointing
# at that terminal; the device
# tester then drives the printer through its control object and the transcript is shown.
set -euo pipefail
build=${1:?usage: run_demo.sh BUILD_DIR [--tcp]}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/out/demo"
# The tester script names files (the logo) relative to the repository root.
cd "$root"

# --- Network build (./run demo --tcp): the same receipt through Tandor_POSPrinterSON, with
# the virtual printer listening on a free loopback TCP port instead of a pseudo-terminal.
link=serial
[ "${2:-}" = "--tcp" ] && link=tcp
# --- end of the network build's part

work=$(mktemp -d "${TMPDIR:-/tmp}/opos-demo.XXXXXX")
printer_pid=""
display_pid=""
cleanup() {
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null && wait "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"
rm -f "$out"/receipt-*.png "$out"/*.txt

mkfifo "$work/printer-commands"
if [ "$link" = tcp ]; then
  echo "== virtual printer on loopback TCP"
  attach=(--tcp 0)
else
  echo "== virtual printer on $work/ttyP0"
  attach=(--pty "$work/ttyP0")
fi
"$build/bin/vprinter" "${attach[@]}" --png "$out" --text "$out/printed.txt" \
  --log "$out/printer-log.txt" <"$work/printer-commands" >"$work/printer-answers.txt" 2>&1 &
printer_pid=$!
exec 3>"$work/printer-commands"
for _ in $(seq 100); do
  grep -q '^listening' "$work/printer-answers.txt" 2>/dev/null && break
  sleep 0.05
done
head -1 "$work/printer-answers.txt"

registry="$work/registry.sqlite"
echo "== registry: $registry"
if [ "$link" = tcp ]; then
  port=$(sed -n 's/^listening tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/printer-answers.txt")
  "$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSON.so"
  printer_type=ThermalN drawer_type=StandardN
  link_values=(IP=127.0.0.1 "Port=$port")
else
  "$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSO.so"
  printer_type=ThermalS drawer_type=StandardS
  link_values=("Port=$work/ttyP0")
fi

echo "== the printer's device entry, made with the setup utility's command line"
# A thermal printer from the utility's device information file, renamed, pointed at the
# virtual printer and given the logical name the tester script opens.
confix=("$build/bin/Confix" --registry "$registry")
"${confix[@]}" add "$printer_type"
"${confix[@]}" rename-key POSPrinter "$printer_type" TandorReceipt
"${confix[@]}" set POSPrinter TandorReceipt "${link_values[@]}"
"${confix[@]}" add-ldn POSPrinter TandorReceipt Receipt
"${confix[@]}" list POSPrinter

echo "== device tester: demo/printer_demo.txt"
status=0
"$build/bin/opostest" --registry "$registry" "$here/printer_demo.txt" >"$out/tester.txt" || status=$?
cat "$out/tester.txt"
echo "== device tester finished with status $status"

# ---- cash drawer: kicked open after the receipt, closed by the script a while later ----
echo "== cash drawer: demo/drawer_demo.txt (the virtual drawer is closed 5 s after the kick)"
# The drawer's entry, made with the setup utility like the printer's: pin 2, on the
# printer's port.
"${confix[@]}" add "$drawer_type"
"${confix[@]}" rename-key CashDrawer "$drawer_type" TandorDrawer
"${confix[@]}" set CashDrawer TandorDrawer "${link_values[@]}" ConnectorPinNo=2 OpenLevel=1
"${confix[@]}" add-ldn CashDrawer TandorDrawer Drawer
kicks_before=$(grep -c '^1B 70 ' "$out/printer-log.txt" || true)
(
  # A person closes the drawer some seconds after it sprang open.
  for _ in $(seq 300); do
    [ "$(grep -c '^1B 70 ' "$out/printer-log.txt" || true)" -gt "$kicks_before" ] && break
    sleep 0.1
  done
  sleep 5
  echo "drawer close" >&3
) &
closer_pid=$!
drawer_status=0
"$build/bin/opostest" --registry "$registry" "$here/drawer_demo.txt" >"$out/drawer-tester.txt" ||
  drawer_status=$?
wait "$closer_pid" || true
cat "$out/drawer-tester.txt"
echo "== drawer tester finished with status $drawer_status"
if [ "$drawer_status" -ne 0 ]; then status=$drawer_status; fi
# ---- end of the cash drawer block ----

echo quit >&3
exec 3>&-
wait "$printer_pid" || true
printer_pid=""
echo "== what the printer received, decoded ($(wc -l <"$out/printer-log.txt") lines, first 40): out/demo/printer-log.txt"
head -40 "$out/printer-log.txt"

echo "== what the printer printed: out/demo/printed.txt"
cat "$out/printed.txt"
for png in "$out"/receipt-*.png; do echo "== receipt image: $png"; done

# ---- Customer display: the total of the receipt on the virtual line display ----------
echo "== virtual display on $work/ttyD0"
mkfifo "$work/display-commands"
"$build/bin/vdisplay" --pty "$work/ttyD0" --text "$out/display.txt" --png "$out" \
  --log "$out/display-log.txt" <"$work/display-commands" >"$work/display-answers.txt" 2>&1 &
display_pid=$!
exec 4>"$work/display-commands"
for _ in $(seq 100); do
  grep -q '^listening' "$work/display-answers.txt" 2>/dev/null && break
  sleep 0.05
done
head -1 "$work/display-answers.txt"
sed "s|/tmp/opos-demo/ttyD0|$work/ttyD0|" "$here/../line_display/examples/display_device.reg" \
  >"$work/display.reg"
"$build/bin/oposreg" --registry "$registry" register "$build/lib/OrvelDisplaySO.so"
"$build/bin/oposreg" --registry "$registry" import "$work/display.reg"

echo "== device tester: demo/display_demo.txt"
display_status=0
"$build/bin/opostest" --registry "$registry" "$here/display_demo.txt" \
  >"$out/display-tester.txt" || display_status=$?
cat "$out/display-tester.txt"
echo "== device tester finished with status $display_status"
echo quit >&4
exec 4>&-
wait "$display_pid" || true
display_pid=""
echo "== what the display shows: out/demo/display.txt (image: out/demo/display.png)"
cat "$out/display.txt"
[ "$status" -eq 0 ] && status=$display_status
# ---- DemoTill: the sample till's five steps without windows (demo/demotill_demo.sh) ----
echo
echo "==== DemoTill on the virtual printer and drawer"
"$here/demotill_demo.sh" "$build" || status=$?

exit "$status"
