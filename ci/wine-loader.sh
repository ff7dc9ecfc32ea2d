# shellcheck shell=bash
# Sourced by the CI scripts, after the packages are installed: picks the Wine
# loader from what the kernel allows (ci/probe-32bit.sh) and from whether
# Wine's 32-bit loader really starts. Some kernels refuse every 32-bit
# program; there Debian's `wine` script, which prefers the 32-bit loader
# whenever wine32 is installed, fails for 64-bit programs too, so the 64-bit
# loader is named, and WINELOADER tells Wine to start the programs a program
# starts with it as well. The same holds where the kernel would run 32-bit
# programs but the 32-bit Wine packages are missing.
# Sets and exports:
#   IZ_WINE32_RUNS    yes | no | unknown, the kernel's answer
#   IZ_WINE32_REASON  why not, when not yes
#   IZ_WINE32_READY   yes when the 32-bit Windows suites can run here
#   IZ_WINE32_FAULT   when the kernel says yes but Wine's 32-bit loader does
#                     not start: what it said
#   IZ_WINE           the loader to run Windows programs with
#   WINELOADER        the 64-bit loader, when the 32-bit one is not used
source "$(dirname "${BASH_SOURCE[0]}")/probe-32bit.sh"
IZ_WINE32_LOADER="${IZ_WINE32_LOADER:-/usr/lib/wine/wine}"
IZ_WINE64_LOADER="${IZ_WINE64_LOADER:-/usr/lib/wine/wine64}"

IZ_WINE32_READY=no
IZ_WINE32_FAULT=""
if [ "$IZ_WINE32_RUNS" = yes ]; then
    if iz_loader_out=$("$IZ_WINE32_LOADER" --version 2>&1); then
        IZ_WINE32_READY=yes
    else
        iz_loader_out=$(printf '%s' "$iz_loader_out" | tail -n 1)
        IZ_WINE32_FAULT="Wine's 32-bit loader does not start ($iz_loader_out)"
    fi
    unset iz_loader_out
fi
if [ "$IZ_WINE32_READY" = yes ]; then
    IZ_WINE=wine
else
    IZ_WINE="$IZ_WINE64_LOADER"
    export WINELOADER="$IZ_WINE64_LOADER"
fi
export IZ_WINE32_RUNS IZ_WINE32_REASON IZ_WINE32_READY IZ_WINE32_FAULT IZ_WINE
