# shellcheck shell=bash
# Sourced by the CI scripts: finds out once whether this machine runs 32-bit
# programs, by running Wine's 32-bit loader, and picks the Wine loader from it.
# Some kernels refuse every 32-bit program; there Debian's `wine` script,
# which prefers the 32-bit loader whenever wine32 is installed, fails for
# 64-bit programs too, so the 64-bit loader is named, and WINELOADER tells
# Wine to start the programs a program starts with it as well.
# Sets and exports:
#   IZ_WINE32_RUNS    yes | no
#   IZ_WINE32_REASON  why not, when no
#   IZ_WINE           the loader to run Windows programs with
#   WINELOADER        the 64-bit loader, when no
# A caller that has the answer already (exported) is not asked again.
IZ_WINE32_LOADER="${IZ_WINE32_LOADER:-/usr/lib/wine/wine}"
IZ_WINE64_LOADER="${IZ_WINE64_LOADER:-/usr/lib/wine/wine64}"

if [ -z "${IZ_WINE32_RUNS:-}" ]; then
    if probe=$("$IZ_WINE32_LOADER" --version 2>&1); then
        IZ_WINE32_RUNS=yes
        IZ_WINE32_REASON=""
    else
        IZ_WINE32_RUNS=no
        probe=$(printf '%s' "$probe" | tail -n 1)
        IZ_WINE32_REASON="this machine does not run 32-bit programs ($IZ_WINE32_LOADER: ${probe##*: })"
    fi
fi
if [ "$IZ_WINE32_RUNS" = yes ]; then
    IZ_WINE=wine
else
    IZ_WINE="$IZ_WINE64_LOADER"
    export WINELOADER="$IZ_WINE64_LOADER"
fi
export IZ_WINE32_RUNS IZ_WINE32_REASON IZ_WINE
