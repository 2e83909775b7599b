#!/bin/sh
# Runs a Windows program of the cross build under Wine, for CTest (the emulator of
# cmake/mingw-w64.cmake): wine-run.sh <prefix folder> <program.exe> [arguments...]
#
# The Wine prefix lives in the build folder and is made on first use. A persistent wineserver is
# started first, apart from any test's output: a server started by a test's own wine would keep
# that test's output pipe open after the test ended, and CTest would wait for it.
set -e
WINEPREFIX="$1"
shift
export WINEPREFIX
: "${WINEDEBUG:=-all}"
# No .NET or HTML engine offered for download when the prefix is made.
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEDEBUG WINEDLLOVERRIDES

mkdir -p "$WINEPREFIX"
(
    flock 9
    # Neither the server nor the prefix's services may hold the lock (descriptor 9) or an output.
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init </dev/null >/dev/null 2>&1 9>&-
    fi
) 9>"$WINEPREFIX/../wineprefix.lock"
exec wine "$@"
