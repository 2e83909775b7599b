#!/bin/bash
# Opens the report of the sample log and of a damaged simulated log in headless Chromium, takes a
# screenshot of each, and fails on a blank page (almost every pixel like its neighbour) or on any
# message of the page's console. Exit 77 (skipped) when Chromium is missing and cannot be installed.
# Usage: render_check.sh <kelvartix> <vxpsim> <source folder>
set -u
kelvartix=$1 vxpsim=$2 source=$3
skip=77
# Per mille of the screenshot's pixel bytes that differ from their left neighbour; a blank page has 0,
# the sample's report about 40.
min_spread=5

if ! command -v chromium > /dev/null; then
    if [ "$(id -u)" = 0 ] && command -v apt-get > /dev/null; then
        (apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends chromium) \
            > /dev/null 2>&1
    fi
    command -v chromium > /dev/null || { echo "SKIP: chromium is not installed and cannot be"; exit $skip; }
fi
command -v python3 > /dev/null || { echo "SKIP: python3 is needed to read the screenshots"; exit $skip; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# render <name> <log> [options...]: converts with -report and checks the page's screenshot.
render() {
    local name=$1 log=$2
    shift 2
    mkdir -p "$work/$name"
    if ! "$kelvartix" "$log" -report -output_dir "$work/$name" "$@" > "$work/$name/run.txt"; then
        echo "FAIL $name: the conversion failed"; cat "$work/$name/run.txt"; failed=1; return
    fi
    local page=$work/$name/$(basename "${log%.*}").html shot=$work/$name/shot.png
    mkdir "$work/$name/profile"
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/$name/profile" --screenshot="$shot" --window-size=1200,3000 \
        --enable-logging=stderr --v=0 "file://$page" > /dev/null 2> "$work/$name/chromium.txt"
    if [ ! -s "$shot" ]; then
        echo "FAIL $name: no screenshot"; cat "$work/$name/chromium.txt"; failed=1; return
    fi
    if grep -q ':CONSOLE' "$work/$name/chromium.txt"; then
        echo "FAIL $name: the page logged to the console:"; grep ':CONSOLE' "$work/$name/chromium.txt"; failed=1
    fi
    local spread
    spread=$(python3 "$source/tests/report/png_spread.py" "$shot")
    if [ "${spread:-0}" -lt $min_spread ]; then
        echo "FAIL $name: blank page (spread $spread per mille)"; failed=1
    else
        echo "ok $name: $(stat -c %s "$page") bytes, spread $spread per mille"
    fi
}

cp "$source/samples/sample.vxp" "$work/sample.vxp"
render sample "$work/sample.vxp" -inertial_data novatel
# shellcheck disable=SC2046 # the options are words
"$vxpsim" -o "$work/damaged.vxp" $(cat "$source/tests/replay/damaged/vxpsim_options") > /dev/null 2>&1 ||
    { echo "FAIL: vxpsim"; exit 1; }
render damaged "$work/damaged.vxp"
exit $failed
