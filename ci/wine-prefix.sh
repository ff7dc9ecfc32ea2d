#!/usr/bin/env bash
# Makes sure the Wine prefix exists and is initialised, and starts one
# persistent wineserver so that each Wine run does not wait for it.
# The server opens every file for the Windows programs; it runs without root's
# permission override so that a read-only file is refused under Wine as it is
# on Windows. It gets no output of ours: a caller reading our output through a
# pipe must not wait for the server. A caller keeps the server no longer than
# itself: `wineserver -k` (with the same WINEPREFIX) in its exit trap, set
# before this script runs. Should this script fail after starting the
# server, it stops the server itself.
set -euo pipefail
cd "$(dirname "$0")/.."
source ci/wine-loader.sh
export WINEDEBUG=-all
prefix="${WINEPREFIX:-$HOME/.wine}"
keep_permissions=(setpriv --inh-caps=-dac_override,-dac_read_search
                  --bounding-set=-dac_override,-dac_read_search)
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
# A prefix made while only the 64-bit loader could run (the 32-bit Wine
# packages came later) has no 32-bit system, and Wine does not add one to it:
# it is moved aside, not deleted, and made anew.
if [ "$IZ_WINE32_READY" = yes ] && [ -f "$prefix/system.reg" ] &&
    [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    aside="$prefix.64-bit-only.$(date +%Y%m%d%H%M%S)"
    echo "The Wine prefix $prefix has no 32-bit system: moved to $aside"
    mv "$prefix" "$aside"
fi
if [ ! -f "$prefix/system.reg" ]; then
    echo "Initialising the Wine prefix $prefix with $IZ_WINE"
    "$IZ_WINE" wineboot -i </dev/null || true
    wineserver -w
fi
[ -f "$prefix/system.reg" ] || { echo "the Wine prefix $prefix is not initialised" >&2; exit 1; }
"${keep_permissions[@]}" wineserver -p </dev/null >/dev/null 2>&1
# The first program of a fresh server starts Wine's own services, which would
# otherwise hold the output of the first test open.
if ! "$IZ_WINE" cmd /c exit </dev/null >/dev/null 2>&1; then
    wineserver -k >/dev/null 2>&1 || true
    echo "Wine cannot run a program in $prefix with $IZ_WINE" >&2
    exit 1
fi
