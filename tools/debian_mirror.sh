# debian_mirror [apt folder]: prints the Debian archive mirror this machine's apt uses, so that no
# network address is written into the repository: the first URI of the first enabled deb822 source
# (sources.list.d/*.sources, in name order) of type deb that is signed by the Debian archive key (or
# names no key) and serves no security suite; else the URI of the first such "deb" line of
# sources.list. Prints nothing when there is none. To be sourced by the scripts that need it.
debian_mirror() {
    local apt="${1:-/etc/apt}" file
    for file in "$apt"/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk '
            function finish() {
                if (!found && enabled && types ~ / deb / && suites !~ /-security / &&
                    (key == "" || key ~ /debian-archive-keyring/) && uri != "") {
                    print uri
                    found = 1
                }
                types = suites = key = uri = ""
                enabled = 1
            }
            BEGIN { enabled = 1 }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { finish(); next }
            {
                field = tolower($1)
                value = " " substr($0, index($0, ":") + 1) " "
                gsub(/[ \t]+/, " ", value)
                if (field == "types:") types = value
                else if (field == "uris:") uri = $2
                else if (field == "suites:") suites = value
                else if (field == "signed-by:") key = value
                else if (field == "enabled:") enabled = tolower($2) != "no"
            }
            END { finish() }
        ' "$file" | head -n 1 | grep . && return 0
    done
    [ -f "$apt/sources.list" ] || return 0
    awk '
        $1 != "deb" { next }
        {
            options = ""
            if ($2 ~ /^\[/) {
                while ($2 !~ /\]$/) { options = options " " $2; $2 = ""; $0 = $0 }
                options = options " " $2
                $2 = ""
                $0 = $0
            }
            if ($3 !~ /-security$/ && (options !~ /signed-by=/ || options ~ /debian-archive-keyring/)) {
                print $2
                exit
            }
        }
    ' "$apt/sources.list"
}
