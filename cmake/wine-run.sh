#!/bin/sh
# Runs a program of the Windows build under wine: in the wine prefix given first, without wine's
# driver warnings (which it prints where there is no display). The wine server is kept up for
# 30 s after its last program, so that the next test starts in milliseconds, not seconds; when
# one is running already, that one serves.
set -eu
export WINEPREFIX="$1" WINEDEBUG=-all
shift
if wineserver -p30 </dev/null >/dev/null 2>&1; then
    # A new server: wine's own services start with the session's first program and outlive it.
    # Start them here, without our output, or a caller reading the program's output (CTest's
    # test discovery) would wait for them until it times out.
    wine wineboot </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
