#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, leak
# detection) and runs each for a bounded time from the committed seed corpus. Prints per target
# the time fuzzed and the number of executions; fails when any target finds anything (a crash,
# an out-of-bounds access, undefined behaviour, a leak, a hang) or cannot be built.
#
#   FUZZ_SECONDS  time per target (default 60)
#   FUZZ_BUILD    build directory (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build="${FUZZ_BUILD:-build-fuzz}"
targets=(fuzz_parser fuzz_router fuzz_conversion)
# An input that takes longer than this is reported as a hang.
unit_timeout=25

# clang with its sanitizer and fuzzer runtimes, cmake and make; installed only when missing.
packages=(clang libclang-rt-14-dev cmake make)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

echo "=== $build: configure and build the fuzz targets"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARTIX_FUZZ=ON \
    -DKELVARTIX_TESTS=OFF
cmake --build "$build" -j2 --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

summaries=()
failed=0
for target in "${targets[@]}"; do
    # The committed seeds are copied: what the fuzzer adds stays in the build directory.
    corpus="$build/corpus/$target"
    artifacts="$(pwd)/$build/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"
    cp -f fuzz/corpus/"$target"/* "$corpus"/
    log="$build/$target.log"
    echo "=== $target: fuzzing for $seconds s"
    status=0
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout="$unit_timeout" -detect_leaks=1 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" >"$log" 2>&1 || status=$?
    # libFuzzer's final statistics: executions and rate; the time is what it reports as done.
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    line="$target: ${took:-?} s, ${runs:-?} executions (${rate:-?}/s)"
    if [ "$status" -ne 0 ]; then
        failed=1
        line="$line: FOUND SOMETHING (exit $status), see $log and $artifacts"
        grep -E -A40 'ERROR: |runtime error|==[0-9]+==' "$log" | head -n 80 || true
    fi
    echo "$line"
    summaries+=("$line")
done

echo "=== fuzz summary"
printf '%s\n' "${summaries[@]}"
if [ "$failed" -ne 0 ]; then
    echo "FAILED: a fuzz target found a fault"
    exit 1
fi
echo "every fuzz target ran clean"
