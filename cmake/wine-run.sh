#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, for CTest (the emulator of
# cmake/mingw-w64.cmake): wine-run.sh <prefix folder> <program.exe> [arguments...]
#
# The Wine prefix lives in the build folder and is made on first use. A persistent wineserver and
# the prefix's services are started first, apart from the caller: started by a test's own wine,
# they would hold the test's output pipe (or another of CTest's pipes) open after the test ended,
# and CTest would wait for them.
set -e
WINEPREFIX="$1"
shift
export WINEPREFIX
: "${WINEDEBUG:=-all}"
# No .NET or HTML engine offered for download when the prefix is made.
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEDEBUG WINEDLLOVERRIDES

# detached <command...>: runs the command with /dev/null as its standard descriptors and without
# any other descriptor of ours (the lock, CTest's pipes); its status is the command's.
detached() {
    (
        for fd in $(ls /proc/$BASHPID/fd); do
            if [ "$fd" -gt 2 ] && [ "$fd" -ne 255 ]; then eval "exec $fd>&-"; fi
        done
        exec "$@" </dev/null >/dev/null 2>&1
    )
}

mkdir -p "$WINEPREFIX"
(
    flock 9
    # A new server (status 0; 2 when one runs already) gets the prefix's services started here,
    # made first when the prefix is new: they live as long as the server.
    if detached wineserver -p; then
        if [ -f "$WINEPREFIX/system.reg" ]; then
            detached wineboot
        else
            detached wineboot --init
        fi
    fi
) 9>"$WINEPREFIX/../wineprefix.lock"
status=0
wine "$@" || status=$?
# A failure says how Wine ended, since a program that Wine could not start prints nothing.
[ "$status" -eq 0 ] || echo "wine-run.sh: wine $1 ended with status $status" >&2
exit "$status"
