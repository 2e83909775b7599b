#!/bin/sh
# Rewrites samples/sample.vxp and samples/sample.truth.json with the simulator of the build in
# BUILD_DIR (default: build). The output depends only on these options and the seed.
set -e
cd "$(dirname "$0")/.."
"${BUILD_DIR:-build}/vxpsim" -o samples/sample.vxp --truth samples/sample.truth.json --start 2024-03-05T12:00:00 --duration 240 --receivers 0,2 --systems G,R,E,C --imu-rate 100 --site-change 180 --noise-pr 0.15 --seed 1
