#!/usr/bin/env bash
# Runs the demo against the virtual devices. $1 is the build directory.
set -euo pipefail
echo "demo: build in $1"
