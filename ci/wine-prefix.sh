#!/usr/bin/env bash
# Makes sure the Wine prefix exists and is initialised, and starts one
# persistent wineserver so that each Wine run does not wait for it.
set -euo pipefail
export WINEDEBUG=-all
prefix="${WINEPREFIX:-$HOME/.wine}"
if [ ! -f "$prefix/system.reg" ]; then
    echo "Initialising the Wine prefix $prefix"
    wineboot -i
    wineserver -w
fi
[ -f "$prefix/system.reg" ] || { echo "the Wine prefix $prefix is not initialised" >&2; exit 1; }
wineserver -p
