#!/usr/bin/env bash
# Makes sure the Wine prefix exists and is initialised, and starts one
# persistent wineserver so that each Wine run does not wait for it.
# The server opens every file for the Windows programs; it runs without root's
# permission override so that a read-only file is refused under Wine as it is
# on Windows.
set -euo pipefail
export WINEDEBUG=-all
prefix="${WINEPREFIX:-$HOME/.wine}"
keep_permissions=(setpriv --inh-caps=-dac_override,-dac_read_search
                  --bounding-set=-dac_override,-dac_read_search)
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
if [ ! -f "$prefix/system.reg" ]; then
    echo "Initialising the Wine prefix $prefix"
    wineboot -i
    wineserver -w
fi
[ -f "$prefix/system.reg" ] || { echo "the Wine prefix $prefix is not initialised" >&2; exit 1; }
"${keep_permissions[@]}" wineserver -p
# The first program of a fresh server starts Wine's own services, which would
# otherwise hold the output of the first test open.
wine cmd /c exit >/dev/null 2>&1
