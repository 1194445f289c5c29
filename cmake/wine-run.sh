#!/bin/sh
# Runs a program of the Windows build under wine: in the wine prefix given first, without wine's
# driver warnings (which it prints where there is no display). The wine server is kept up for
# 30 s after its last program, so that the next test starts in milliseconds, not seconds.
# Programs that start together while no server runs could hang in wine's start-up of its
# services, so the first one starts the server and its services alone, under a lock.
set -eu
export WINEPREFIX="$1" WINEDEBUG=-all
shift
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX/.start-lock"
flock 9
if wineserver -p30 </dev/null >/dev/null 2>&1; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
flock -u 9
exec 9>&-
exec wine "$@"
