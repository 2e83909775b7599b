#!/usr/bin/env bash
# `cmake --install` of a build into an empty prefix, then a C program outside the project that
# finds the installed library with find_package(kelvartix) and counts the sample's packets.
#   check_install.sh <build folder> <source folder> <work folder>
set -euo pipefail
build="$1" source="$2" work="$3"
rm -rf "$work"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/kelvartix share/doc/kelvartix/README.md share/doc/kelvartix/LICENSE \
    share/doc/kelvartix/sample.vxp share/man/man1/kelvartix.1.gz include/vxp/parser.h include/vxp/records/gnss_records.h \
    include/vxp/device/serial.h; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
cmake -S "$source/tests/install/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/count_packets" "$prefix/share/doc/kelvartix/sample.vxp"
