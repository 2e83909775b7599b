#!/bin/sh
# Runs a Windows program of the cross build under Wine, for CTest (the emulator of
# cmake/mingw-w64.cmake): wine-run.sh <prefix folder> <program.exe> [arguments...]
#
# The Wine prefix lives in the build folder and is made on first use. A persistent wineserver and
# the prefix's services are started first, apart from any test's output: started by a test's own
# wine, they would keep that test's output pipe open after the test ended, and CTest would wait.
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
    # A new server (status 0; 2 when one runs already) gets the prefix's services started here,
    # made first when the prefix is new: they live as long as the server. Neither the server nor
    # the services may hold the lock (descriptor 9) or a test's output.
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
        if [ -f "$WINEPREFIX/system.reg" ]; then
            wineboot </dev/null >/dev/null 2>&1 9>&-
        else
            wineboot --init </dev/null >/dev/null 2>&1 9>&-
        fi
    fi
) 9>"$WINEPREFIX/../wineprefix.lock"
exec wine "$@"
