#!/usr/bin/env bash
# Builds the kelvartix converter (Release) and converts one log with it: the bundled sample
# samples/sample.vxp, or the log given as the first argument. Everything the conversion writes
# goes to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

# Install the build tools when they are missing (Debian/Ubuntu).
missing=()
for package in cmake g++ make zlib1g-dev nlohmann-json3-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=OFF
cmake --build build -j2 --target kelvartix

log="${1:-samples/sample.vxp}"
if [ ! -f "$log" ]; then
    echo "Built build/kelvartix. No log to convert: $log not found."
    echo "Convert one with: bash tools/quickstart.sh <log file>"
    exit 0
fi

# The log and IMR files go beside the input and the RINEX files into the working directory:
# convert a copy inside out/ so that every output lands there.
mkdir -p out
cp -- "$log" out/
cd out
../build/kelvartix "$(basename -- "$log")" -inertial_data novatel
echo
echo "Output files in out/:"
ls -l
