#!/usr/bin/env bash
# The Windows stage of CI: kelvartix.exe and the test suites cross-built with MinGW-w64, the suites
# run by CTest under Wine, then the Windows program compared with the Linux one on the same logs
# (tests/windows/compare_outputs.sh). Needs the Linux Release build in build/ (for the
# comparison); installs MinGW-w64 and Wine when they are missing. Prints the count and the time.
set -euo pipefail
cd "$(dirname "$0")/.."

source tools/ensure_packages.sh
ensure_packages g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nlohmann-json3-dev wine wine64 googletest

dir=build-windows
started=$(date +%s)
echo "=== $dir: configure and build (MinGW-w64)"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=ON
cmake --build "$dir" -j2
built=$(date +%s)

# The Wine prefix of the build folder (made by the first test); the server is stopped at the end.
export WINEPREFIX="$PWD/$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# The serial test: the simulated device (serial_peer of the Linux build) plays on a pseudo-terminal
# that Wine maps to COM5; the ports are mapped when Wine starts, hence the server's restart.
peer=""
if [ -x build/tests/vxp/device/serial_peer ]; then
    peer_output="$dir/serial_peer.txt"
    build/tests/vxp/device/serial_peer 2 900 >"$peer_output" &
    peer=$!
    for _ in $(seq 100); do
        [ -s "$peer_output" ] && break
        sleep 0.1
    done
    cmake/wine-run.sh "$WINEPREFIX" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ \
        /d "$(head -n 1 "$peer_output")" /f >/dev/null
    wineserver -k || true
    export KELVARTIX_WINE_COM_PORT=5
fi

echo "=== $dir: tests under Wine"
log="$dir/ctest-output.txt"
status=0
# A test that fails is run once more: Wine has been seen, rarely, to end a program it started
# before the program ran (no output at all); a failure of the test itself fails twice.
ctest --test-dir "$dir" --output-on-failure -j2 --repeat until-pass:2 2>&1 | tee "$log" || status=$?
tested=$(date +%s)
if [ -n "$peer" ]; then
    kill "$peer" 2>/dev/null || true
    wait "$peer" 2>/dev/null || true
fi
if [ "$status" -ne 0 ]; then
    echo "FAILED: $dir tests under Wine"
    exit 1
fi
echo "Skipped under Wine, with their reasons:"
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
     /^Skipped on Windows: / { print "  " name ": " substr($0, 21) }
     /: Skipped$/ { getline reason; print "  " name ": " reason }' "$dir/Testing/Temporary/LastTest.log"

echo "=== $dir: the Windows program against the Linux program"
tests/windows/compare_outputs.sh build/kelvartix "$dir/kelvartix.exe" samples/sample.vxp "$dir/compare"
compared=$(date +%s)

echo "$dir: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)," \
    "$(grep -c '(Skipped)' "$log") skipped; build $((built - started)) s, tests $((tested - built)) s," \
    "comparison $((compared - tested)) s, Windows stage $((compared - started)) s"
