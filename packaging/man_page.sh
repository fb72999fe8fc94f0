#!/bin/sh
# man_page.sh PROGRAM VERSION DESCRIPTION OUTPUT.1.gz
# A manual page from the program's --help, compressed as Debian wants it (gzip -9n, so that
# the same page gives the same bytes).
set -e
program=$1 version=$2 description=$3 output=$4
page=${output%.gz}
QT_QPA_PLATFORM=offscreen help2man --no-info --no-discard-stderr --version-string="$version" \
  --name="$description" --section=1 --output="$page" "$program"
gzip -9nf "$page"
