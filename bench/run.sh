#!/usr/bin/env bash
# Whole-conversion benchmark: builds Release, simulates a large log of a realistic mix, and times
# reading it (the floor), converting it with kelvartix (RINEX + IMR), and RTKLIB's convbin
# converting our own RINEX observation + navigation files of that run (the peer). Every figure is
# the median of several runs; one table with the ratios is printed at the end.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
size_mb=500
runs=3
build="$repo/build-bench"
work=""
linearity=1
peer=1
keep=0

usage() {
    cat <<EOF
usage: bench/run.sh [options]
  --size MB        size of the benchmark log in MB (default $size_mb)
  --runs N         runs of each measurement, medians quoted (default $runs)
  --build DIR      Release build directory (default build-bench)
  --work DIR       logs and outputs (default <build>/bench-data)
  --no-linearity   skip the runs at 1/4 and 1/2 of the size
  --no-peer        skip RTKLIB convbin
  --keep           keep the outputs of the last run
EOF
}

while (($#)); do
    case "$1" in
        --size) size_mb="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --build) build="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --no-linearity) linearity=0; shift ;;
        --no-peer) peer=0; shift ;;
        --keep) keep=1; shift ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
work=${work:-$build/bench-data}
case "$work" in /*) ;; *) work="$PWD/$work" ;; esac
mkdir -p "$work"

# Tools: GNU time for peak memory, RTKLIB for the peer.
need=()
[ -x /usr/bin/time ] || need+=(time)
if ((peer)) && ! command -v convbin >/dev/null; then need+=(rtklib); fi
if ((${#need[@]})); then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi

echo "=== build (Release) in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target kelvartix vxpsim >/dev/null
kelvartix="$build/kelvartix"
vxpsim="$build/vxpsim"

# The mix: inertial delta vectors at 500 Hz with 0xD3 time tags, filter data at 100 Hz, receivers
# 0 and 2 at 10 Hz seeing about 30 satellites (GPS, GLONASS, Galileo, BeiDou) on two signals,
# ephemerides every 30 s, ionosphere and leap seconds every 60 s.
sim_options=(--receivers 0,2 --systems G,R,E,C --mask 5 --dual-frequency --obs-rate 10
    --imu-rate 500 --imu-data delta --imu-time shared --filter-rate 100 --filter-time shared
    --eph-interval 30 --aux-interval 60 --start 2024-03-05T00:00:00 --seed 7 --no-truth-epochs)

# Bytes per simulated second, from a short probe.
probe="$work/probe.vxp"
"$vxpsim" -o "$probe" --duration 120 "${sim_options[@]}" >/dev/null
bytes_per_second=$(($(stat -c %s "$probe") / 120))

# make_log <MB>: path of a log of about that size (reused when already made).
make_log() {
    local mb="$1"
    local duration=$((mb * 1000000 / bytes_per_second))
    local log="$work/bench-${mb}MB.vxp"
    if [ ! -s "$log" ] || [ "$(cat "$log.options" 2>/dev/null)" != "$duration ${sim_options[*]}" ]; then
        echo "=== simulating $duration s into $log" >&2
        "$vxpsim" -o "$log" --duration "$duration" "${sim_options[@]}" >&2
        echo "$duration ${sim_options[*]}" >"$log.options"
    fi
    echo "$log"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb_of() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
rss_mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k * 1024 / 1e6 }'; }  # GNU time reports KiB
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", n / s; else printf "-" }'; }

# Observation values of RINEX observation files: every "%14.3f" value of a data line has one point.
count_values() { grep -hE '^[A-Z][0-9]{2}' "$@" | tr -cd . | wc -c; }

# timed <file> <command...>: appends "wall user system maxrss_kB" of one run to <file>; the wall
# time is taken to the nanosecond here (GNU time gives centiseconds), the rest from GNU time.
timed() {
    local out="$1"
    shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$out.one" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) / 1e9 }') $(tail -n 1 "$out.one")" >>"$out"
}
column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }

# bench_kelvartix <log> <run dir> <times file>: converts the log `runs` times in a fresh directory.
bench_kelvartix() {
    local log="$1" dir="$2" times="$3"
    : >"$times"
    for ((i = 0; i < runs; i++)); do
        rm -rf "$dir"
        mkdir -p "$dir"
        ln -s "$log" "$dir/log.vxp"
        (cd "$dir" && timed "$times" "$kelvartix" log.vxp -inertial_data novatel)
    done
}

floor_times="$work/floor.times"
kel_times="$work/kelvartix.times"
peer_times="$work/peer.times"

log=$(make_log "$size_mb")
log_bytes=$(stat -c %s "$log")
echo "=== log: $log ($(mb_of "$log_bytes") MB)"
cat "$log" >/dev/null  # into the page cache: every run reads it from memory

echo "=== floor: cat log > /dev/null, $runs runs"
: >"$floor_times"
for ((i = 0; i < runs; i++)); do timed "$floor_times" sh -c "cat '$log' > /dev/null"; done

echo "=== kelvartix log -inertial_data novatel, $runs runs"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
run_dir="$work/run"
bench_kelvartix "$log" "$run_dir" "$kel_times"
obs_files=("$run_dir"/*_MO.rnx)
nav_files=("$run_dir"/*_MN.rnx)
values=$(count_values "${obs_files[@]}")
rinex_bytes=$(cat "${obs_files[@]}" "${nav_files[@]}" | wc -c)
imr_bytes=$(stat -c %s "$run_dir/log.imr")
# Digest of every output but the creation-date lines, to compare builds byte for byte.
digest=$(for f in "${obs_files[@]}" "${nav_files[@]}"; do grep -v 'PGM / RUN BY / DATE' "$f"; done |
    cat - "$run_dir/log.imr" | sha256sum | cut -c1-16)

peer_values=0
peer_input=0
if ((peer)); then
    echo "=== peer: convbin -r rinex on our observation + navigation files, $runs runs"
    : >"$peer_times"
    peer_dir="$work/peer"
    for ((i = 0; i < runs; i++)); do
        rm -rf "$peer_dir"
        mkdir -p "$peer_dir"
        total="0 0 0 0"
        for obs in "${obs_files[@]}"; do
            receiver=$(basename "$obs" | cut -c1-11)
            : >"$peer_dir/one.times"
            timed "$peer_dir/one.times" convbin -r rinex -od -os -d "$peer_dir" \
                -o "$peer_dir/$receiver.obs" -n "$peer_dir/$receiver.nav" "$run_dir/${receiver}*.rnx"
            total=$(echo "$total $(cat "$peer_dir/one.times")" |
                awk '{ printf "%.3f %.2f %.2f %s", $1 + $5, $2 + $6, $3 + $7, ($4 > $8 ? $4 : $8) }')
        done
        echo "$total" >>"$peer_times"
    done
    peer_values=$(count_values "$peer_dir"/*.obs)
    peer_input=$rinex_bytes
fi

linearity_rows=()
if ((linearity)); then
    for mb in $((size_mb / 4)) $((size_mb / 2)); do
        small=$(make_log "$mb")
        cat "$small" >/dev/null
        echo "=== linearity: kelvartix on $(mb_of "$(stat -c %s "$small")") MB, $runs runs"
        bench_kelvartix "$small" "$work/run-$mb" "$work/kelvartix-$mb.times"
        linearity_rows+=("$(stat -c %s "$small") $(column_median "$work/kelvartix-$mb.times" 1) $(column_median "$work/kelvartix-$mb.times" 2) $(column_median "$work/kelvartix-$mb.times" 4)")
        rm -rf "$work/run-$mb"
    done
fi
linearity_rows+=("$log_bytes $(column_median "$kel_times" 1) $(column_median "$kel_times" 2) $(column_median "$kel_times" 4)")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

floor_wall=$(column_median "$floor_times" 1)
kel_wall=$(column_median "$kel_times" 1)
kel_user=$(column_median "$kel_times" 2)
kel_sys=$(column_median "$kel_times" 3)
kel_rss=$(column_median "$kel_times" 4)
input_mb=$(mb_of "$log_bytes")
floor_rate=$(rate "$input_mb" "$floor_wall")
kel_rate=$(rate "$input_mb" "$kel_wall")
kel_values_rate=$(rate "$values" "$kel_wall")

{
    echo
    echo "## Conversion of a $input_mb MB log ($runs runs each, medians)"
    echo
    echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/^Mem:/ { print $2 }') GB;" \
        "load average $load_before before, $load_after after."
    echo "Outputs: $(mb_of "$rinex_bytes") MB RINEX, $(mb_of "$imr_bytes") MB IMR, $values observation values;" \
        "digest $digest (creation dates left out)."
    echo
    echo "| Run | Wall s | User s | Sys s | Peak RSS MB | Input MB/s | Obs values/s (M) | vs floor | vs peer |"
    echo "|---|---|---|---|---|---|---|---|---|"
    echo "| floor: cat log > /dev/null | $floor_wall | | | | $floor_rate | | 1 | |"
    kel_vs_peer="-"
    peer_row=""
    if ((peer)); then
        peer_wall=$(column_median "$peer_times" 1)
        peer_user=$(column_median "$peer_times" 2)
        peer_sys=$(column_median "$peer_times" 3)
        peer_rss=$(column_median "$peer_times" 4)
        peer_rate=$(rate "$(mb_of "$peer_input")" "$peer_wall")
        peer_values_rate=$(rate "$peer_values" "$peer_wall")
        kel_vs_peer="$(ratio "$kel_values_rate" "$peer_values_rate")x values/s, $(ratio "$kel_rate" "$peer_rate")x MB/s"
        peer_row="| peer: convbin -r rinex (our obs + nav, both receivers) | $peer_wall | $peer_user | $peer_sys | $(rss_mb "$peer_rss") | $peer_rate | $(awk -v v="$peer_values_rate" 'BEGIN { printf "%.2f", v / 1e6 }') | $(ratio "$peer_rate" "$floor_rate")x | 1 |"
    fi
    echo "| kelvartix log -inertial_data novatel | $kel_wall | $kel_user | $kel_sys | $(rss_mb "$kel_rss") | $kel_rate | $(awk -v v="$kel_values_rate" 'BEGIN { printf "%.2f", v / 1e6 }') | $(ratio "$kel_rate" "$floor_rate")x | $kel_vs_peer |"
    [ -n "$peer_row" ] && echo "$peer_row"
    echo
    echo "Peak memory of kelvartix: $(awk -v k="$kel_rss" -v b="$log_bytes" 'BEGIN { d = (k * 1024 - b) / 1e6; printf "%.1f MB, the input size %s %.1f MB", k * 1024 / 1e6, d < 0 ? "-" : "+", d < 0 ? -d : d }')."
    if ((${#linearity_rows[@]} > 1)); then
        echo
        echo "| Log MB | Wall s | User s | Peak RSS MB | Input MB/s | Wall per MB, ms |"
        echo "|---|---|---|---|---|---|"
        for row in "${linearity_rows[@]}"; do
            echo "$row" | awk '{ printf "| %.1f | %s | %s | %.1f | %.1f | %.2f |\n", $1 / 1e6, $2, $3, $4 * 1024 / 1e6, $1 / 1e6 / $2, $2 * 1000 / ($1 / 1e6) }'
        done
    fi
} | tee "$work/results-${size_mb}MB.md"

if ((!keep)); then rm -rf "$run_dir" "$work/peer"; fi
