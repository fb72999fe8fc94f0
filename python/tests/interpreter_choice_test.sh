#!/usr/bin/env bash
# interpreter_choice_test.sh SOURCE_DIR
# A machine may put another python3 first on PATH (a virtual environment, pyenv, a newer
# build in /usr/local). The module must still be configured for Debian's /usr/bin/python3:
# configure a fresh tree with a python3 first on PATH that fails and notes every call, and
# check that the cache names /usr/bin/python3 and that the stranger was never run.
set -uo pipefail
source_dir=${1:?usage: interpreter_choice_test.sh SOURCE_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/opos-interpreter.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
cat >"$work/bin/python3" <<STRANGER
#!/bin/sh
echo "\$0 \$*" >>"$work/called"
exit 1
STRANGER
chmod +x "$work/bin/python3"
ln -s python3 "$work/bin/python"

if ! PATH="$work/bin:$PATH" cmake -S "$source_dir" -B "$work/build" -G Ninja \
    >"$work/configure.log" 2>&1; then
  echo "configuring with another python3 first on PATH failed:"
  cat "$work/configure.log"
  exit 1
fi
chosen=$(sed -n 's/^Python_EXECUTABLE:FILEPATH=//p' "$work/build/CMakeCache.txt")
if [ "$chosen" != /usr/bin/python3 ]; then
  echo "the module is configured for '$chosen', not /usr/bin/python3"
  exit 1
fi
if [ -e "$work/called" ]; then
  echo "the python3 first on PATH was run:"
  cat "$work/called"
  exit 1
fi
echo "configured for /usr/bin/python3 with another python3 first on PATH"
