#!/usr/bin/env bash
# Ends the Wine session of a Windows build folder: wine_stop.sh BUILD-DIR. Its Wine server stays
# for a minute after the last program to keep test runs quick; this ends it, and every Wine
# process of that folder's prefix with it, at once. Nothing else is touched.
set -euo pipefail
prefix="$1/wineprefix"
[ -d "$prefix" ] || exit 0
server=$(sed -n 's/^KORVA_WINESERVER:FILEPATH=//p' "$1/CMakeCache.txt")
[ -n "$server" ] && WINEPREFIX="$(cd "$prefix" && pwd)" "$server" -k 2>/dev/null || true
