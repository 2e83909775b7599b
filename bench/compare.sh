#!/usr/bin/env bash
# The current build against a base commit, in one run: both convert the same benchmark logs,
# alternating run by run so that the machine's changing speed falls on both alike. Prints per
# log size the median wall, user and system time, peak resident memory and input MB/s of each,
# and whether their outputs are byte-identical (creation-date lines aside). When the current build
# has -threads, it also runs with -threads 1 ("single"): its user time against the wall time shows
# what the second thread takes on.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
base=""
sizes="200"
runs=5
options=(-inertial_data novatel)
work="$repo/build-bench/compare"

usage() {
    cat <<USAGE
usage: bench/compare.sh --base REV [--sizes MB,MB] [--runs N] [--work DIR] [-- kelvartix options]
  --base REV    the commit to compare with (built in <work>/base)
  --sizes       benchmark log sizes in MB (default $sizes), made as bench/run.sh makes them
  --runs N      runs of each program per size, alternating (default $runs)
  after --      the options of both runs (default: ${options[*]})
USAGE
}

while (($#)); do
    case "$1" in
        --base) base="$2"; shift 2 ;;
        --sizes) sizes="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --) shift; options=("$@"); break ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
[ -n "$base" ] || { usage >&2; exit 2; }
mkdir -p "$work"

echo "=== build: current and $base (Release)" >&2
cmake -S "$repo" -B "$work/current" -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=OFF >/dev/null
cmake --build "$work/current" -j2 --target kelvartix vxpsim >/dev/null
rm -rf "$work/base-src"
git -C "$repo" worktree add -f --detach "$work/base-src" "$base" >/dev/null 2>&1
trap 'git -C "$repo" worktree remove --force "$work/base-src" >/dev/null 2>&1 || true' EXIT
cmake -S "$work/base-src" -B "$work/base" -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=OFF >/dev/null
cmake --build "$work/base" -j2 --target kelvartix >/dev/null
programs=("$work/base/kelvartix" "$work/current/kelvartix")
names=(base current)
extra=("" "")
if "$work/current/kelvartix" --help | grep -q -- '-threads'; then
    programs=("$work/base/kelvartix" "$work/current/kelvartix" "$work/current/kelvartix")
    names=(base single current)
    extra=("" "-threads 1" "")
fi

# The mix of bench/run.sh; bytes per simulated second from a short probe.
sim_options=(--receivers 0,2 --systems G,R,E,C --mask 5 --dual-frequency --obs-rate 10
    --imu-rate 500 --imu-data delta --imu-time shared --filter-rate 100 --filter-time shared
    --eph-interval 30 --aux-interval 60 --start 2024-03-05T00:00:00 --seed 7 --no-truth-epochs)
vxpsim="$work/current/vxpsim"
"$vxpsim" -o "$work/probe.vxp" --duration 120 "${sim_options[@]}" >/dev/null
bytes_per_second=$(($(stat -c %s "$work/probe.vxp") / 120))

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
digest() { (cd "$1" && for f in $(ls | sort); do [ "$f" = log.vxp ] || grep -av 'PGM / RUN BY / DATE' "$f"; done) | md5sum | cut -c1-12; }

printf '| Log MB | Program | Wall s | User s | Sys s | Peak RSS MB | Input MB/s | Output digest |\n'
printf '|---|---|---|---|---|---|---|---|\n'
for mb in ${sizes//,/ }; do
    log="$work/bench-${mb}MB.vxp"
    duration=$((mb * 1000000 / bytes_per_second))
    if [ ! -s "$log" ] || [ "$(cat "$log.options" 2>/dev/null)" != "$duration ${sim_options[*]}" ]; then
        echo "=== simulating $duration s into $log" >&2
        "$vxpsim" -o "$log" --duration "$duration" "${sim_options[@]}" >/dev/null
        echo "$duration ${sim_options[*]}" >"$log.options"
    fi
    log_bytes=$(stat -c %s "$log")
    cat "$log" >/dev/null  # into the page cache
    for p in "${!names[@]}"; do : >"$work/${names[p]}.times"; done
    for ((i = 0; i < runs; i++)); do
        for p in "${!names[@]}"; do
            dir="$work/run-${names[p]}"
            rm -rf "$dir" && mkdir -p "$dir" && ln -s "$log" "$dir/log.vxp"
            start=$(date +%s%N)
            (cd "$dir" && /usr/bin/time -f '%U %S %M' -o "$work/one" "${programs[p]}" log.vxp "${options[@]}" ${extra[p]} >/dev/null 2>&1)
            end=$(date +%s%N)
            echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) / 1e9 }') $(tail -n 1 "$work/one")" \
                >>"$work/${names[p]}.times"
        done
    done
    for p in "${!names[@]}"; do
        t="$work/${names[p]}.times"
        wall=$(awk '{ print $1 }' "$t" | median)
        user=$(awk '{ print $2 }' "$t" | median)
        sys=$(awk '{ print $3 }' "$t" | median)
        rss=$(awk '{ print $4 }' "$t" | median)
        printf '| %.1f | %s | %.3f | %.2f | %.2f | %.1f | %.1f | %s |\n' "$(awk -v b="$log_bytes" 'BEGIN { print b / 1e6 }')" \
            "${names[p]}" "$wall" "$user" "$sys" "$(awk -v k="$rss" 'BEGIN { print k * 1024 / 1e6 }')" \
            "$(awk -v b="$log_bytes" -v w="$wall" 'BEGIN { print b / 1e6 / w }')" "$(digest "$work/run-${names[p]}")"
    done
done
