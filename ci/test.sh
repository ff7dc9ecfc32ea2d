#!/usr/bin/env bash
# Builds the four builds and runs every suite: natively, under the sanitizers,
# and under Wine for the 32-bit and 64-bit Windows builds (with the
# differential test of the INI reader against the real Windows call), then
# runs each fuzz target for a bounded time. Installs what it
# needs first. Any failure, and a build whose CTest finds no tests, fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="${IZ_BUILD_ROOT:-$root/out}"
jobs=$(nproc)

ci/deps.sh
ci/wine-prefix.sh
export WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

step() { printf '\n=== %s\n' "$*"; }

configure_and_build() {  # name, extra cmake arguments...
    local name=$1
    shift
    cmake -S "$root" -B "$out/$name" -G Ninja "$@" >/dev/null
    cmake --build "$out/$name" -j "$jobs"
}

run_suites() {  # name, extra ctest arguments...
    local name=$1
    shift
    ctest --test-dir "$out/$name" --no-tests=error --output-on-failure -j "$jobs" "$@"
}

step "native build"
configure_and_build native
step "native suites"
run_suites native

step "sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
configure_and_build sanitize -DINSTALLZOVA_SANITIZE=ON
step "sanitizer suites"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suites sanitize

for arch in i686 x86_64; do
    step "Windows build ($arch)"
    configure_and_build "win-$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DINSTALLZOVA_E2E_DRIVER="$out/native/tests/e2e/iz_e2e_tests" \
        -DINSTALLZOVA_INI_DIFF_DRIVER="$out/native/tests/iz_ini_differential"
    step "Windows suites ($arch, under Wine)"
    run_suites "win-$arch"
done

step "fuzzing (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)"
ci/fuzz.sh

step "all suites passed"
