#!/usr/bin/env bash
# Installs a kelvartix Debian package on a fresh Debian 12 and converts the sample with it: a
# minimal Debian 12 made with debootstrap in a folder, then `apt install ./kelvartix_*.deb` and a
# conversion of /usr/share/doc/kelvartix/sample.vxp inside it (chroot; needs root and the network
# to the Debian archive). The archive is the mirror of this machine's own apt configuration
# (tools/debian_mirror.sh).
#   tools/check_deb.sh <kelvartix_*.deb> [folder for the Debian 12 system]
set -euo pipefail
cd "$(dirname "$0")/.."
deb="$(realpath "$1")"
root="${2:-build-deb-check/bookworm}"
source tools/ensure_packages.sh
source tools/debian_mirror.sh
ensure_packages debootstrap

if [ ! -x "$root/usr/bin/apt-get" ]; then
    mirror="$(debian_mirror)"
    if [ -z "$mirror" ]; then
        echo "no Debian mirror in this machine's apt configuration (/etc/apt/sources.list.d/*.sources, /etc/apt/sources.list)" >&2
        exit 1
    fi
    rm -rf "$root"
    mkdir -p "$(dirname "$root")"
    debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/root/"
chroot "$root" /bin/sh -ec "
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /root/$(basename "$deb")
    rm -rf /root/convert && mkdir /root/convert && cd /root/convert
    cp /usr/share/doc/kelvartix/sample.vxp .
    kelvartix sample.vxp -inertial_data novatel
    ls -l
"
echo "kelvartix installed and converted the sample on Debian 12 in $root"
