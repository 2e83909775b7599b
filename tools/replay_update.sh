#!/bin/bash
# Rewrites the expected files of every replay case (tests/replay/<case>/expected/ and exit_code)
# from the program as it is now; review what moved with `git diff tests/replay`.
#   bash tools/replay_update.sh            expected files only
#   bash tools/replay_update.sh --inputs   first the input logs made by tools too: the crafted ones
#                                          (replay_cases) and the simulated ones (vxpsim with the
#                                          options in the case's vxpsim_options)
# Builds in BUILD_DIR (default: build), configuring a Release build there if there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
corpus=tests/replay

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=ON > /dev/null
fi
cmake --build "$build" -j2 --target test_replay replay_cases vxpsim > /dev/null

if [ "${1:-}" = --inputs ]; then
    "$build/replay_cases" "$corpus"
    for options in "$corpus"/*/vxpsim_options; do
        folder=$(dirname "$options")
        # shellcheck disable=SC2046  # the options are words
        "$build/vxpsim" -o "$folder/$(basename "$folder").vxp" --truth /dev/null --no-truth-epochs \
            $(cat "$options") > /dev/null
    done
fi

"$build/tests/replay/test_replay" --update --gtest_brief=1
git status --short -- "$corpus"
