#!/usr/bin/env bash
# The Debian mirror that tools/check_deb.sh bootstraps from comes from the machine's apt
# configuration, and the repository holds no network address.
#   debian_mirror_test.sh <source folder> <work folder>
set -euo pipefail
source="$1" work="$2"
source "$source/tools/debian_mirror.sh"
rm -rf "$work" && mkdir -p "$work"
failed=0
expect() {  # expect <apt folder> <mirror>
    local found
    found="$(debian_mirror "$1")"
    [ "$found" = "$2" ] || { echo "$1: '$found', expected '$2'"; failed=1; }
}

# deb822: a disabled source, a third party's and the security archive are passed over.
mkdir -p "$work/a/sources.list.d"
cat >"$work/a/sources.list.d/a-other.sources" <<'END'
Types: deb
URIs: file:///srv/other
Suites: nodistro
Signed-By: /usr/share/keyrings/other.gpg
END
cat >"$work/a/sources.list.d/debian.sources" <<'END'
Types: deb
# a comment
URIs: file:///srv/security
Suites: bookworm-security
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: file:///srv/disabled
Suites: bookworm
Enabled: no

Types: deb-src deb
URIs: file:///srv/debian file:///srv/second
Suites: bookworm bookworm-updates
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
END
echo "deb file:///srv/list bookworm main" >"$work/a/sources.list"
expect "$work/a" "file:///srv/debian"

# sources.list alone: options in brackets, the security line passed over.
mkdir -p "$work/b"
cat >"$work/b/sources.list" <<'END'
# deb file:///srv/commented bookworm main
deb-src file:///srv/source bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] file:///srv/security bookworm-security main
deb [ arch=amd64 ] file:///srv/list bookworm main
END
expect "$work/b" "file:///srv/list"

# No configuration: nothing.
mkdir -p "$work/c"
expect "$work/c" ""

# No network address in the repository's files.
if addresses="$(git -C "$source" grep -nIE 'https?://' -- . 2>/dev/null)"; then
    echo "network addresses in the repository:"
    echo "$addresses"
    failed=1
fi
exit "$failed"
