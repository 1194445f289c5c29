#!/bin/sh
# Runs the dialog test in a wine session of its own on a virtual X display. A session's desktop
# belongs to the display of the program that started its server, so the test must not join a
# session that a test without a display started; the session ends with the test, so that no
# later test joins one whose display has gone. CTest runs this test alone (RUN_SERIAL).
# usage: run_dialog_test.sh XVFB_RUN WINE_RUNNER WINE_PREFIX PROGRAM [ARGUMENT]...
set -eu
xvfbRun=$1 runner=$2 prefix=$3
shift 3
export WINEPREFIX="$prefix"
wineserver -k 2>/dev/null || true
wineserver -w
status=0
"$xvfbRun" -a "$runner" "$prefix" "$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver -w
exit $status
