#!/usr/bin/env bash
# package_test.sh PACKAGE.deb
# The Debian package as a technician gets it: unpacked into a temporary root (dpkg -x), its
# maintainer scripts run against a temporary registry store, and its programs run from
# there with no help from the build tree (no LD_LIBRARY_PATH): the installed setup utility
# makes a device entry; the installed device tester, the installed device service (for a
# WebSocket client) and the installed Python module each print a receipt on the installed
# virtual printer through the registered serial-build service object, and the printer's
# transcript is read back. Then upgrade, removal, reinstallation and purge must keep (or, on
# purge, drop) the device entries as Debian users expect, and lintian must report no error.
set -uo pipefail
deb=$(cd "$(dirname "${1:?usage: package_test.sh PACKAGE.deb}")" && pwd)/$(basename "$1")

work=$(mktemp -d "${TMPDIR:-/tmp}/opos-package.XXXXXX")
printer_pid=""
ROOT_OF_TESTS=$(cd "$(dirname "$0")" && pwd)
cleanup() {
  [ -n "${service_pid:-}" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    echo "package: ok   $name"
    passed=$((passed + 1))
  else
    echo "package: FAIL $name"
    sed 's/^/    /' "$work/check.log"
    failed=$((failed + 1))
  fi
}

root="$work/root"
dpkg -x "$deb" "$root"
dpkg-deb -e "$deb" "$root/DEBIAN"
libdir=$(dirname "$(find "$root/usr/lib" -name Tandor_POSPrinterSO.so | head -1)")
store_dir="$work/var/lib/opos"
store="$store_dir/registry.sqlite"
export OPOS_MAINTSCRIPT_ROOT="$root" OPOS_MAINTSCRIPT_REGISTRY="$store"
unset LD_LIBRARY_PATH OPOS_REGISTRY
oposreg=("$root/usr/bin/oposreg" --registry "$store")

maintainer() {  # maintainer SCRIPT ARGUMENTS...
  "$root/DEBIAN/$1" "${@:2}"
}
registered_from_package() {
  local listed
  listed=$("${oposreg[@]}" list) || return 1
  echo "$listed"
  for progid in RecPrinter.POSPrinter.SO RecPrinter.POSPrinter.SON RecPrinter.POSPrinter.SOU \
                Standard.CashDrawer.SO Display.LineDisplay.SO2 FLASHWISELib.Flashwise; do
    grep -q "^$progid.* $libdir/" <<<"$listed" || { echo "missing: $progid"; return 1; }
  done
  ! grep -q "(missing)" <<<"$listed"
}
nothing_registered() {
  local listed
  listed=$("${oposreg[@]}" list) || return 1
  echo "$listed"
  [ -z "$listed" ]
}
entry_kept() {
  "${oposreg[@]}" export 'HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\POSPrinter' |
    grep -q "TandorReceipt"
}
libraries_found_by_runpath() {
  local program missing
  for program in "$root"/usr/bin/*; do
    missing=$(ldd "$program" | grep "not found") && { echo "$program: $missing"; return 1; }
    # Each library of the package it uses comes from the unpacked root.
    if ldd "$program" | grep "libopos_" | grep -v "=> $root/"; then
      echo "$program uses libraries outside $root"
      return 1
    fi
  done
  return 0
}
store_usable_by_group_lp() {
  [ "$(id -u)" != 0 ] && return 0  # only root can give the files to lp
  [ "$(stat -c %G:%a "$store_dir")" = "lp:2775" ] && [ "$(stat -c %G:%a "$store")" = "lp:664" ]
}

check "programs find their libraries through RUNPATH" libraries_found_by_runpath
check "postinst registers the installed service objects" maintainer postinst configure
check "the registration names the installed libraries" registered_from_package
check "the store is usable by the group lp" store_usable_by_group_lp

# A printer entry made by the installed setup utility (its device information files come
# from share/opos/inf), pointing at the installed virtual printer on a pseudo-terminal.
mkfifo "$work/printer-commands"
"$root/usr/bin/vprinter" --pty "$work/ttyP0" --text "$work/printed.txt" \
  <"$work/printer-commands" >"$work/printer-answers.txt" 2>&1 &
printer_pid=$!
exec 3>"$work/printer-commands"
for _ in $(seq 200); do
  grep -q '^listening' "$work/printer-answers.txt" 2>/dev/null && break
  sleep 0.05
done
confix=("$root/usr/bin/Confix" --registry "$store")
make_entry() {
  "${confix[@]}" add ThermalS && "${confix[@]}" rename-key POSPrinter ThermalS TandorReceipt &&
    "${confix[@]}" set POSPrinter TandorReceipt "Port=$work/ttyP0" &&
    "${confix[@]}" add-ldn POSPrinter TandorReceipt Receipt
}
check "the installed setup utility makes the printer's entry" make_entry

cat >"$work/receipt.txt" <<'EOF'
open prt POSPrinter Receipt
prt ClaimDevice 3000
prt set DeviceEnabled 1
prt PrintNormal 2 "Installed package receipt\n"
prt ReleaseDevice
prt Close
EOF
print_with_tester() {
  "$root/usr/bin/opostest" --registry "$store" "$work/receipt.txt"
}
check "the installed tester prints a receipt" print_with_tester

# The installed device service, started from the unpacked root on a free port, prints a
# receipt for a WebSocket client and reads the printer's state back. The token file is an
# installer's: the service takes the token in it.
service_pid=""
print_through_service() {
  local token=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef
  (umask 077 && echo "$token" >"$work/oposd.token")
  "$root/usr/bin/oposd" --port 0 --listen 127.0.0.1 --registry "$store" \
    --token-file "$work/oposd.token" 2>"$work/oposd.log" &
  service_pid=$!
  local port=""
  for _ in $(seq 300); do
    port=$(sed -n 's|^oposd: listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/oposd.log")
    [ -n "$port" ] && break
    sleep 0.05
  done
  local status=0
  /usr/bin/python3 "$ROOT_OF_TESTS/print_through_service.py" "$port" \
    "$token" Receipt $'Printed through the device service\n' || status=$?
  kill -TERM "$service_pid"
  wait "$service_pid" || status=$?
  service_pid=""
  cat "$work/oposd.log"
  [ "$status" -eq 0 ] && grep -q "released and closed" "$work/oposd.log"
}
if [ -x "$root/usr/bin/oposd" ]; then
  check "the installed device service prints for a WebSocket client" print_through_service
fi

# The installed Python module, found where Debian's python3 looks (dist-packages).
print_from_python() {
  PYTHONPATH="$root/usr/lib/python3/dist-packages" OPOS_REGISTRY="$store" /usr/bin/python3 -c '
import opos
with opos.claimed(opos.POSPrinter, "Receipt") as p:
    opos.check(p.PrintNormal(opos.PTR_S_RECEIPT, "Printed from Python\n"), p)
'
}
if [ -d "$root/usr/lib/python3/dist-packages/opos" ]; then
  check "the installed Python module prints a receipt" print_from_python
fi

printer_read_every_receipt() {
  # The printer writes its transcript when it ends.
  echo quit >&3
  exec 3>&-
  wait "$printer_pid"
  printer_pid=""
  cat "$work/printed.txt" || return 1
  grep -q "Installed package receipt" "$work/printed.txt" || return 1
  if [ -x "$root/usr/bin/oposd" ]; then
    grep -q "Printed through the device service" "$work/printed.txt" || return 1
  fi
  if [ -d "$root/usr/lib/python3/dist-packages/opos" ]; then
    grep -q "Printed from Python" "$work/printed.txt" || return 1
  fi
}
check "the printer read every receipt" printer_read_every_receipt

# Upgrade: the old prerm, then the new postinst; entries and registration stay.
upgrade() {
  maintainer prerm upgrade 2.15-1 && maintainer postinst configure 2.15-1
}
check "upgrade runs" upgrade
check "upgrade keeps the registration" registered_from_package
check "upgrade keeps the entry in the store" entry_kept

# Removal unregisters the service objects and keeps the entries.
remove() {
  maintainer prerm remove && maintainer postrm remove
}
check "removal runs" remove
check "removal unregisters the service objects" nothing_registered
check "removal keeps the entry" entry_kept
check "reinstalling registers again" maintainer postinst configure
check "reinstalling finds the entry kept" entry_kept

# Purge drops the store.
purge() {
  remove && maintainer postrm purge
}
check "purge runs" purge
check "purge removes the store" test ! -e "$store"

# The units as systemd reads them: no unknown or malformed settings, every program and unit
# they name present (the host's own units stand in for the system's), and the hardening
# keeping the service's exposure at "OK" (below 4 on systemd's 0 to 10 scale).
units_verify() {
  local units="$work/units-root"
  mkdir -p "$units/usr/lib/systemd/system" "$units/usr/bin"
  cp -r /usr/lib/systemd/system/. "$units/usr/lib/systemd/system/"
  cp "$root"/usr/lib/systemd/system/oposd.* "$units/usr/lib/systemd/system/"
  cp "$root/usr/bin/oposd" "$units/usr/bin/"
  local report verified
  report=$(systemd-analyze --root="$units" verify oposd.service oposd.socket 2>&1)
  verified=$?
  echo "$report"
  [ "$verified" -eq 0 ] && [ -z "$report" ] &&
    systemd-analyze --root="$units" security --offline=yes --threshold=39 oposd.service
}
if command -v systemd-analyze >/dev/null && [ -d /usr/lib/systemd/system ]; then
  check "systemd reads the units without a complaint and finds the service hardened" units_verify
fi

lintian_clean() {
  local report
  report=$(lintian "$deb" 2>&1)
  echo "$report"
  ! grep -q "^E:" <<<"$report"
}
if command -v lintian >/dev/null; then
  check "lintian reports no error" lintian_clean
fi

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
