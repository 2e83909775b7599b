#!/usr/bin/env bash
# Many logs on this machine's cores: the same logs converted one after the other (each with the
# default threads), then one process per log, as many at once as there are cores, each with
# -threads 1 (xargs -P, as the README's "Many logs" shows). Prints the wall time and the input
# MB/s of both.
#   bench/many_logs.sh <program> <log> [count]   (count links to the log, default 8)
set -euo pipefail

program=$(realpath "$1")
log=$(realpath "$2")
count=${3:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/logs"
for ((i = 1; i <= count; i++)); do ln -s "$log" "$work/logs/day$i.vxp"; done
cat "$log" >/dev/null  # into the page cache
mb=$(awk -v b="$(stat -L -c %s "$log")" -v n="$count" 'BEGIN { printf "%.1f", b * n / 1e6 }')
cores=$(nproc)

seconds() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.2f", (e - s) / 1e9 }'; }

start=$(date +%s%N)
for f in "$work"/logs/*.vxp; do
    "$program" "$f" -inertial_data novatel -output_dir "$work/one/$(basename "$f" .vxp)" >/dev/null
done
sequential=$(seconds "$start" "$(date +%s%N)")
rm -rf "$work/one"

start=$(date +%s%N)
ls "$work"/logs/*.vxp | xargs -P "$cores" -I{} sh -c \
    '"$0" "$1" -inertial_data novatel -threads 1 -output_dir "$2/many/$(basename "$1" .vxp)" >/dev/null' \
    "$program" {} "$work"
side_by_side=$(seconds "$start" "$(date +%s%N)")

echo "| Way | Logs | Input MB | Wall s | Input MB/s |"
echo "|---|---|---|---|---|"
echo "| one after the other, default threads | $count | $mb | $sequential | $(awk -v m="$mb" -v w="$sequential" 'BEGIN { printf "%.0f", m / w }') |"
echo "| xargs -P $cores, -threads 1 each | $count | $mb | $side_by_side | $(awk -v m="$mb" -v w="$side_by_side" 'BEGIN { printf "%.0f", m / w }') |"
