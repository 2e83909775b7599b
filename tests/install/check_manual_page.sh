#!/usr/bin/env bash
# The manual page renders without a warning and names every option of the program's --help text.
# Skipped (exit code 77) where groff is not installed.
#   check_manual_page.sh <kelvartix.1> <kelvartix program>
set -euo pipefail
page="$1" program="$2"
if ! command -v groff >/dev/null; then
    echo "Skipped: groff is not installed (Debian: groff-base)"
    exit 77
fi
warnings="$(groff -man -ww -z "$page" 2>&1)"
if command -v man >/dev/null; then
    warnings+="$(MANWIDTH=80 man -l --warnings "$page" 2>&1 >/dev/null)"
fi
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
options="$("$program" --help | grep -o $'^\t-[-a-z_]*')"
for option in $options; do
    grep -qF -- "${option//-/\\-}" "$page" || { echo "not in the manual page: $option"; exit 1; }
done
echo "the manual page renders without warnings and names every option"
