#!/usr/bin/env bash
# The multi-threaded conversion under ThreadSanitizer: the replay corpus (every case converted with
# several threads in-process), the relay's own tests, and a damaged simulated log converted with two
# and three threads, whose files must equal those of a single-threaded run. Fails on any report.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-tsan
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARTIX_TSAN=ON -DKELVARTIX_TESTS=ON
cmake --build "$dir" -j2 --target test_replay test_route kelvartix vxpsim
ctest --test-dir "$dir" --output-on-failure -j2 -R 'Replay|RecordRelay|BlockFramer'

work="$dir/damaged-run"
rm -rf "$work" && mkdir -p "$work/one" "$work/two" "$work/three" "$work/split-one" "$work/split-three"
"$dir/vxpsim" -o "$work/damaged.vxp" --duration 120 --receivers 0,1,2 --systems G,R,E,C --dual-frequency \
    --imu-rate 200 --filter-rate 10 --corrupt 0.03 --garbage 0.05 --truncate 11 --seed 23 >/dev/null
options=(-inertial_data novatel,csv -observables CLDS -approx_position auto -report)
"$dir/kelvartix" "$work/damaged.vxp" "${options[@]}" -output_dir "$work/one" -threads 1 >/dev/null
"$dir/kelvartix" "$work/damaged.vxp" "${options[@]}" -output_dir "$work/two" -threads 2 >/dev/null
"$dir/kelvartix" "$work/damaged.vxp" "${options[@]}" -output_dir "$work/three" -threads 3 >/dev/null
# Files begun and finished while the log streams past, on several threads at once.
split=(-split 15M -compress crx -interval 1 -inertial_data csv)
"$dir/kelvartix" "$work/damaged.vxp" "${split[@]}" -output_dir "$work/split-one" -threads 1 >/dev/null
"$dir/kelvartix" "$work/damaged.vxp" "${split[@]}" -output_dir "$work/split-three" -threads 3 >/dev/null
# Byte for byte, but for the creation time in the headers and the report's time of the run.
for pair in one:two one:three split-one:split-three; do
    single=${pair%%:*}
    threads=${pair##*:}
    for file in "$work/$single"/*; do
        name=$(basename "$file")
        if ! diff -q <(grep -av -e 'PGM / RUN BY / DATE' -e 'UTC' "$file") \
            <(grep -av -e 'PGM / RUN BY / DATE' -e 'UTC' "$work/$threads/$name") >/dev/null; then
            echo "FAILED: $name differs between $single and $threads"
            exit 1
        fi
    done
    [ "$(ls "$work/$single" | wc -l)" -eq "$(ls "$work/$threads" | wc -l)" ] || { echo "FAILED: file lists differ"; exit 1; }
done
echo "ThreadSanitizer: replay corpus, relay tests and a damaged log with 2 and 3 threads: no report, same files"
