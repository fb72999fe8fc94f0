#!/usr/bin/env bash
# Runs the demo. $1 is the build directory.
#
# The virtual printer listens on a pseudo-terminal; a temporary registry gets the printer
# service object registered and a device entry pointing at that terminal; the device
# tester then drives the printer through its control object and the transcript is shown.
set -euo pipefail
build=${1:?usage: run_demo.sh BUILD_DIR}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/out/demo"
# The tester script names files (the logo) relative to the repository root.
cd "$root"

work=$(mktemp -d "${TMPDIR:-/tmp}/opos-demo.XXXXXX")
printer_pid=""
cleanup() {
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"
rm -f "$out"/receipt-*.png "$out"/*.txt

echo "== virtual printer on $work/ttyP0"
mkfifo "$work/printer-commands"
"$build/bin/vprinter" --pty "$work/ttyP0" --png "$out" --text "$out/printed.txt" \
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
sed "s|/tmp/opos-demo/ttyP0|$work/ttyP0|" "$here/../service_core/examples/printer_device.reg" \
  >"$work/devices.reg"
"$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSO.so"
"$build/bin/oposreg" --registry "$registry" import "$work/devices.reg"

echo "== device tester: demo/printer_demo.txt"
status=0
"$build/bin/opostest" --registry "$registry" "$here/printer_demo.txt" >"$out/tester.txt" || status=$?
cat "$out/tester.txt"
echo "== device tester finished with status $status"

# ---- cash drawer: kicked open after the receipt, closed by the script a while later ----
echo "== cash drawer: demo/drawer_demo.txt (the virtual drawer is closed 5 s after the kick)"
sed "s|/tmp/opos-demo/ttyP0|$work/ttyP0|" "$root/cash_drawer/examples/drawer_device.reg" \
  >"$work/drawer.reg"
"$build/bin/oposreg" --registry "$registry" import "$work/drawer.reg"
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
# ---- DemoTill: the sample till's five steps without windows (demo/demotill_demo.sh) ----
echo
echo "==== DemoTill on the virtual printer and drawer"
"$here/demotill_demo.sh" "$build" || status=$?

exit "$status"
