#!/usr/bin/env bash
# Runs the demo. $1 is the build directory.
#
# The virtual printer listens on a pseudo-terminal; a temporary registry gets the printer
# service object registered and a device entry pointing at that terminal; the device
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
cleanup() {
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
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
  sed "s|\"Port\"=\"9100\"|\"Port\"=\"$port\"|" "$here/../link_tcp/examples/network_printer.reg" \
    >"$work/devices.reg"
  "$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSON.so"
else
  sed "s|/tmp/opos-demo/ttyP0|$work/ttyP0|" "$here/../service_core/examples/printer_device.reg" \
    >"$work/devices.reg"
  "$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSO.so"
fi
"$build/bin/oposreg" --registry "$registry" import "$work/devices.reg"

echo "== device tester: demo/printer_demo.txt"
status=0
"$build/bin/opostest" --registry "$registry" "$here/printer_demo.txt" >"$out/tester.txt" || status=$?
cat "$out/tester.txt"
echo "== device tester finished with status $status"

# ---- cash drawer: kicked open after the receipt, closed by the script a while later ----
echo "== cash drawer: demo/drawer_demo.txt (the virtual drawer is closed 5 s after the kick)"
# (The network build's drawer entry came with link_tcp/examples/network_printer.reg.)
if [ "$link" = serial ]; then
  sed "s|/tmp/opos-demo/ttyP0|$work/ttyP0|" "$root/cash_drawer/examples/drawer_device.reg" \
    >"$work/drawer.reg"
  "$build/bin/oposreg" --registry "$registry" import "$work/drawer.reg"
fi
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
exit "$status"
