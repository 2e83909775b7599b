#!/usr/bin/env bash
# The Windows program under Wine against the Linux program, on the same logs: every RINEX file
# (but its creation-date line), the IMR file, the log file and the console text (line ends aside:
# the log file and the console follow the platform) and the exit code must be the same. Each
# Windows run starts in a folder that holds nothing but kelvartix.exe and the log.
#
#   tests/windows/compare_outputs.sh <linux kelvartix> <kelvartix.exe> <sample log> <work folder>
#
# Needs wine on the PATH; WINEPREFIX and WINEDEBUG are taken from the environment.
set -euo pipefail

linux_program="$(realpath "$1")"
windows_program="$(realpath "$2")"
sample="$(realpath "$3")"
work="$4"
rm -rf "$work"
mkdir -p "$work"
work="$(realpath "$work")"
# Wine turns the Unix command line into Windows' wide one through the locale's character set.
export LC_ALL=C.UTF-8

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# without_date <file>: the file with its RINEX creation-date line left out.
without_date() {
    grep -v 'PGM / RUN BY / DATE *$' "$1" || true
}

# compare_case <name> <log> <log name in the run folders> <arguments after the log name...>
compare_case() {
    local name="$1" log="$2" log_name="$3"
    shift 3
    local linux_dir="$work/$name/linux" windows_dir="$work/$name/windows"
    mkdir -p "$linux_dir" "$windows_dir"
    cp "$log" "$linux_dir/$log_name"
    cp "$log" "$windows_dir/$log_name"
    cp "$windows_program" "$windows_dir/kelvartix.exe"

    local linux_status=0 windows_status=0
    (cd "$linux_dir" && "$linux_program" "$log_name" "$@" >"$work/$name/linux.out" 2>&1) || linux_status=$?
    (cd "$windows_dir" && wine kelvartix.exe "$log_name" "$@" >"$work/$name/windows.out" 2>&1) ||
        windows_status=$?

    [ "$linux_status" = "$windows_status" ] ||
        fail "$name: exit code $linux_status on Linux, $windows_status under Wine"
    diff <(tr -d '\r' <"$work/$name/linux.out") <(tr -d '\r' <"$work/$name/windows.out") >/dev/null ||
        fail "$name: console text differs"

    local linux_files windows_files
    linux_files="$(cd "$linux_dir" && ls -A | sort)"
    windows_files="$(cd "$windows_dir" && ls -A | grep -vx 'kelvartix.exe' | sort)"
    [ "$linux_files" = "$windows_files" ] ||
        fail "$name: files differ: Linux [$linux_files] Wine [$windows_files]"
    local compared=0
    while IFS= read -r file; do
        [ -n "$file" ] && [ -f "$windows_dir/$file" ] || continue
        case "$file" in
            "$log_name") continue ;;
            *.rnx) cmp -s <(without_date "$linux_dir/$file") <(without_date "$windows_dir/$file") ||
                fail "$name: $file differs" ;;
            *.log) cmp -s "$linux_dir/$file" <(tr -d '\r' <"$windows_dir/$file") ||
                fail "$name: $file differs" ;;
            *) cmp -s "$linux_dir/$file" "$windows_dir/$file" || fail "$name: $file differs" ;;
        esac
        compared=$((compared + 1))
    done <<<"$linux_files"
    echo "$name: exit code $linux_status (Linux) and $windows_status (Wine); $compared output files compared"
}

# A damaged copy of the sample: bytes overwritten in a few packets and the end cut off inside one.
damaged="$work/damaged.vxp"
size=$(stat -c %s "$sample")
head -c $((size - 77)) "$sample" >"$damaged"
for offset in 1001 50003 123457 800011 1500007 2000003; do
    printf '\x5a' | dd of="$damaged" bs=1 seek="$offset" conv=notrunc status=none
done

compare_case sample "$sample" sample.vxp -inertial_data novatel
compare_case damaged "$damaged" damaged.vxp -inertial_data NovAtel -leap_seconds 17.5
compare_case unsupported_format "$sample" sample.vxp -inertial_data xyz
compare_case no_extension "$damaged" damaged
compare_case "Prüf Ordner" "$sample" "Lauf Prüfung λ.vxp" -inertial_data novatel

if [ "$failures" -ne 0 ]; then
    echo "$failures difference(s) between the Linux and the Windows program"
    exit 1
fi
echo "The Windows program wrote what the Linux program wrote in every case"
