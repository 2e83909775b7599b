# ensure_packages <package>...: installs with apt-get (Debian) the packages that are missing; to be
# sourced by the scripts that need packages.
ensure_packages() {
    local missing=() package sudo=""
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
