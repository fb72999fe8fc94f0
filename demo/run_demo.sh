#!/usr/bin/env bash
# Runs the demo. $1 is the build directory.
#
# A temporary registry gets the test service object registered with oposreg and a small
# device configuration imported from REGEDIT4 text; the device tester then runs the demo
# script against it and the transcript is shown.
set -euo pipefail
build=${1:?usage: run_demo.sh BUILD_DIR}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/opos-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
registry="$work/registry.db"

echo "== registry: $registry"
"$build/bin/oposreg" --registry "$registry" register "$build/lib/libopos_test_so.so"
"$build/bin/oposreg" --registry "$registry" import "$here/devices.reg"

echo "== device tester: demo/tester_demo.txt"
status=0
"$build/bin/opostest" --registry "$registry" "$here/tester_demo.txt" >"$work/transcript.txt" ||
  status=$?
cat "$work/transcript.txt"
echo "== device tester finished with status $status"

# The virtual printer renders a sample receipt; the PNG stays for the user to look at.
out="$(cd "$here/.." && pwd)/out/demo"
mkdir -p "$out"
rm -f "$out"/receipt-*.png "$out/receipt.txt"
echo "== virtual printer: sample receipt"
bash "$here/sample_receipt.sh" >"$work/sample.bin"
"$build/bin/vprinter" --render-file "$work/sample.bin" --png "$out" --text "$out/receipt.txt"
cat "$out/receipt.txt"
echo "== receipt image: $(cd "$out" && pwd)/receipt-0001.png"
exit "$status"
