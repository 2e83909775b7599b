#!/usr/bin/env bash
# Builds both release packages into dist/ (or the folder given):
#   kelvartix_<version>_amd64.deb          Debian 12: /usr/bin/kelvartix, README, license and the
#                                          sample log in /usr/share/doc/kelvartix
#   kelvartix-<version>-windows-x64.zip    kelvartix.exe (needs no other file), README, license and
#                                          the sample log
# Uses the Release build folders build-release and build-release-windows; installs the MinGW-w64
# cross compiler and dpkg-dev (for the package's library dependencies) when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
dist="$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)"

source tools/ensure_packages.sh
ensure_packages cmake g++ make zlib1g-dev nlohmann-json3-dev dpkg-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev

# package <build folder> <CPack generator> <cmake options...>
package() {
    local dir="$1" generator="$2"
    shift 2
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKELVARTIX_TESTS=OFF "$@"
    cmake --build "$dir" -j2 --target kelvartix
    (cd "$dir" && cpack -G "$generator" -B "$dist")
}

package build-release DEB
package build-release-windows ZIP -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
rm -rf "$dist/_CPack_Packages"
ls -l "$dist"
