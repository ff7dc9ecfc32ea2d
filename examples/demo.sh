#!/usr/bin/env bash
# A demonstration installation on this machine: builds the program, lays out
# installation media with the test installer standing in for the product's
# Setup.exe, adapts examples/install.ini to folders of the demo and runs
#   demo.sh          an installation (-f install.ini)
#   demo.sh check    a check of the installation environment (-f install.ini -c)
# Everything stays below out/demo; nothing outside it is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=${1:-install}
build="${IZ_BUILD_ROOT:-$root/out}/demo-build"
demo="${IZ_BUILD_ROOT:-$root/out}/demo"

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" >/dev/null
cmake --build "$build" --target installzova test_installer -j "$(nproc)" >/dev/null

rm -rf "$demo"
mkdir -p "$demo/media/ZOVTools" "$demo/zova-work" "$demo/registry"
cp "$build/tests/test-installer" "$demo/media/Setup.exe"
cp "$build/installzova" "$demo/media/ZOVTools/installzova"
sed -e "s|^workdir=.*|workdir=$demo/zova-work|" \
    -e "s|^installdir=.*|installdir=$demo/installed/KESTRON/PathSentryMultiway|" \
    "$root/examples/install.ini" > "$demo/install.ini"

args=(-f "$demo/install.ini")
[ "$mode" = check ] && args+=(-c)
echo "\$ media/ZOVTools/installzova ${args[*]}"
status=0
INSTALLZOVA_REGISTRY_ROOT="$demo/registry" "$demo/media/ZOVTools/installzova" "${args[@]}" \
    || status=$?
echo "exit code: $status"
echo
echo "work folder $demo/zova-work:"
ls -l "$demo/zova-work"
echo
echo "run log (installzova.log):"
tr -d '\r' < "$demo/zova-work/installzova.log"
if [ -f "$demo/zova-work/setoptions.bat" ]; then
    echo
    echo "options command file (setoptions.bat):"
    tr -d '\r' < "$demo/zova-work/setoptions.bat"
fi
exit "$status"
