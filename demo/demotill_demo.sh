#!/usr/bin/env bash
# The sample till DemoTill run without windows: every step on the virtual printer and its
# drawer under the logical name "Unit1". $1 is the build directory. The drawer is closed
# by "hand" (a command to the virtual printer) two seconds after the till opens it.
set -euo pipefail
build=${1:?usage: demotill_demo.sh BUILD_DIR}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/out/demo/demotill"

work=$(mktemp -d "${TMPDIR:-/tmp}/opos-demotill.XXXXXX")
printer_pid=""
closer_pid=""
cleanup() {
  if [ -n "$closer_pid" ]; then kill "$closer_pid" 2>/dev/null || true; fi
  if [ -n "$printer_pid" ]; then
    kill "$printer_pid" 2>/dev/null || true
    wait "$printer_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"
rm -f "$out"/receipt-*.png "$out"/*.txt

mkfifo "$work/printer-commands"
"$build/bin/vprinter" --pty "$work/ttyT0" --png "$out" --text "$out/printed.txt" \
  --log "$out/printer-log.txt" <"$work/printer-commands" >"$work/printer-answers.txt" 2>&1 &
printer_pid=$!
exec 4>"$work/printer-commands"
for _ in $(seq 100); do
  grep -q '^listening' "$work/printer-answers.txt" 2>/dev/null && break
  sleep 0.05
done
head -1 "$work/printer-answers.txt"

registry="$work/registry.sqlite"
sed "s|/tmp/opos-demotill/ttyT0|$work/ttyT0|" "$here/demotill_devices.reg" >"$work/devices.reg"
"$build/bin/oposreg" --registry "$registry" register "$build/lib/Tandor_POSPrinterSO.so"
"$build/bin/oposreg" --registry "$registry" import "$work/devices.reg"
steps=1,2,3,4
if "$build/bin/oposreg" --registry "$registry" list | grep -q 'Standard.CashDrawer.SO'; then
  steps=1,2,3,4,5
  # The person at the till closes the drawer two seconds after it opened.
  (
    for _ in $(seq 600); do
      grep -q 'drawer kicked open' "$out/printer-log.txt" 2>/dev/null && break
      sleep 0.1
    done
    sleep 2
    echo "drawer close" >&4
  ) &
  closer_pid=$!
else
  echo "(no cash drawer service object registered: step 5 left out)"
fi

echo "== DemoTill --run $steps"
status=0
"$build/bin/DemoTill" --registry "$registry" --run "$steps" --device Unit1 >"$out/demotill.txt" || status=$?
cat "$out/demotill.txt"
echo "== DemoTill finished with status $status"

echo quit >&4
exec 4>&-
wait "$printer_pid" || true
printer_pid=""
echo "== what the till printed: out/demo/demotill/printed.txt"
cat "$out/printed.txt"
for png in "$out"/receipt-*.png; do echo "== receipt image: $png"; done
exit "$status"
