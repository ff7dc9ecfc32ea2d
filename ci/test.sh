#!/usr/bin/env bash
# Builds the four builds and runs every suite: natively, under the sanitizers,
# and under Wine for the 32-bit and 64-bit Windows builds (with the
# differential test of the INI reader against the real Windows call), then
# runs each fuzz target for a bounded time; after the native build it also
# tests the Ansible role (deploy/ansible/tests/run.sh). Installs what it
# needs first.
# Ends with a summary: per build the tests run, passed and failed, or why it
# was not run, and its time; then the packages that could not be installed
# and the package indexes that could not be updated, one line each; then
# "N passed, M failed" over all builds.
# Any failure, a build that does not build, a build whose CTest finds no
# tests, and a package that could not be installed fail it. Whether the
# kernel runs 32-bit programs is asked first, with a tiny 32-bit program. On a
# machine that refuses them the 32-bit Windows build is still built and its
# imports checked, but its suites cannot run under Wine: the summary says so
# and why, and the 64-bit suites run with the 64-bit Wine loader. On a machine
# that runs them, 32-bit Wine that cannot be installed fails the 32-bit row.
#   IZ_BUILD_ROOT    where the builds go (default: out)
#   IZ_FUZZ_SECONDS  seconds per fuzz target (default: 60)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="${IZ_BUILD_ROOT:-$root/out}"
jobs=$(nproc)
export WINEDEBUG=-all

# The persistent wineserver must not outlive this command, whatever ends it;
# the trap is set before anything can start the server.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

step() { printf '\n=== %s\n' "$*"; }

rows=()
total_passed=0
total_failed=0

# Adds a row of the summary: build, result, run, passed, failed, seconds, note.
record() {
    local minutes=$(($6 / 60)) seconds=$(($6 % 60))
    rows+=("$(printf '%-15s %-8s %5s %7s %7s %6s  %s' "$1" "$2" "$3" "$4" "$5" \
        "$(printf '%d:%02d' "$minutes" "$seconds")" "$7")")
    [ "$4" = - ] || total_passed=$((total_passed + $4))
    [ "$5" = - ] || total_failed=$((total_failed + $5))
}

configure_and_build() {  # name, extra cmake arguments...
    local name=$1
    shift
    cmake -S "$root" -B "$out/$name" -G Ninja "$@" >/dev/null && cmake --build "$out/$name" -j "$jobs"
}

# Runs a build's suites and records them; a run that fails without counting
# a failed test (no tests found, a crash of CTest) counts as one failure.
run_suites() {  # label, name, started, extra ctest arguments...
    local label=$1 name=$2 started=$3
    shift 3
    local log="$out/$name/ctest.log" status=0
    ctest --test-dir "$out/$name" --no-tests=error --output-on-failure -j "$jobs" "$@" 2>&1 |
        tee "$log" || status=$?
    local counts passed failed total
    counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' \
        "$log" | tail -n 1)
    if [ -z "$counts" ]; then
        record "$label" FAILED 0 0 1 $((SECONDS - started)) "ctest exit status $status, no result line"
        return
    fi
    read -r failed total <<<"$counts"
    passed=$((total - failed))
    if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
        failed=1
    fi
    if [ "$failed" -eq 0 ]; then
        record "$label" passed "$total" "$passed" 0 $((SECONDS - started)) ""
    else
        record "$label" FAILED "$total" "$passed" "$failed" $((SECONDS - started)) "ctest exit status $status"
    fi
}

# Builds and tests one build; a build that does not build is a failure.
build_and_test() {  # label, name, cmake arguments...
    local label=$1 name=$2 started=$SECONDS
    shift 2
    step "$label: build"
    if ! configure_and_build "$name" "$@"; then
        record "$label" FAILED - - 1 $((SECONDS - started)) "the build failed"
        return
    fi
    step "$label: suites"
    run_suites "$label" "$name" "$started"
}

# The lines that close the output: what could not be installed or updated.
closing_lines() {
    local kind what
    [ -f "$deps_report" ] || return 0
    while IFS=$'\t' read -r kind what; do
        if [ "$kind" = index ]; then
            echo "package index not updated: $what"
        else
            echo "could not install $kind: $what"
        fi
    done <"$deps_report"
}

summary() {
    step "summary"
    printf '%-15s %-8s %5s %7s %7s %6s  %s\n' build result run passed failed time note
    printf '%s\n' "${rows[@]}"
    closing_lines
    echo "$total_passed passed, $total_failed failed"
}

# Asked before anything is installed: the 32-bit Wine packages are installed
# only where the kernel runs 32-bit programs.
source ci/probe-32bit.sh
step "32-bit programs: $IZ_WINE32_RUNS${IZ_WINE32_REASON:+, $IZ_WINE32_REASON}"
mkdir -p "$out"
deps_report="$out/deps-report.txt"
: >"$deps_report"
started=$SECONDS
if ! IZ_DEPS_REPORT="$deps_report" ci/deps.sh; then
    reason=$(awk -F '\t' '$1 != "index" && $1 != "wine32:i386" { print $1 ": " $2; exit }' \
        "$deps_report")
    record packages FAILED - - 1 $((SECONDS - started)) "could not install ${reason:-what the builds need}"
    summary
    exit 1
fi

# Decided once; the Windows builds and every Wine run below use the answer.
source ci/wine-loader.sh
step "32-bit Windows suites: $IZ_WINE32_READY; Wine loader: $IZ_WINE"
wine_ready=yes
ci/wine-prefix.sh || wine_ready=no

build_and_test native native

started=$SECONDS
step "ansible: the role linted, the example playbook run on this machine with the native build"
deploy/ansible/tests/run.sh "$out/native" 2>&1 | tee "$out/ansible.log" || true
ansible_counts=$(sed -n 's/^ansible cases: \([0-9]*\) run, \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2 \3/p' \
    "$out/ansible.log")
read -r ansible_run ansible_passed ansible_failed <<<"${ansible_counts:-- - 1}"
record ansible "$([ "$ansible_failed" = 0 ] && echo passed || echo FAILED)" "$ansible_run" \
    "$ansible_passed" "$ansible_failed" $((SECONDS - started)) "cases: lint, syntax check, playbook runs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
build_and_test sanitizers sanitize -DINSTALLZOVA_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS

wine32=$([ "$IZ_WINE32_READY" = yes ] && echo ON || echo OFF)
# Why the 32-bit suites cannot run on a machine whose kernel would run them.
wine32_fault=$(sed -n 's/^wine32:i386\t/wine32:i386 could not be installed: /p' "$deps_report")
wine32_fault=${wine32_fault:-$IZ_WINE32_FAULT}
for arch in i686 x86_64; do
    label="Windows $([ "$arch" = i686 ] && echo 32 || echo 64)-bit"
    windows_args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake"
                  -DINSTALLZOVA_WINE32_RUNS="$wine32"
                  -DINSTALLZOVA_E2E_DRIVER="$out/native/tests/e2e/iz_e2e_tests"
                  -DINSTALLZOVA_INI_DIFF_DRIVER="$out/native/tests/iz_ini_differential")
    if [ "$wine_ready" = yes ] && { [ "$arch" = x86_64 ] || [ "$IZ_WINE32_READY" = yes ]; }; then
        build_and_test "$label" "win-$arch" "${windows_args[@]}"
        continue
    fi
    started=$SECONDS
    step "$label: build (its suites cannot run here)"
    if ! configure_and_build "win-$arch" "${windows_args[@]}"; then
        record "$label" FAILED - - 1 $((SECONDS - started)) "the build failed"
    elif ! cmake -DOBJDUMP="$arch-w64-mingw32-objdump" -DPROGRAM="$out/win-$arch/installzova.exe" \
            -P cmake/check_imports.cmake; then
        record "$label" FAILED - - 1 $((SECONDS - started)) "imports other than system DLLs"
    elif [ "$wine_ready" = no ]; then
        record "$label" FAILED - - 1 $((SECONDS - started)) "not run: the Wine prefix could not be set up"
    elif [ "$IZ_WINE32_RUNS" != no ]; then
        # The kernel runs 32-bit programs (or could not be asked): suites
        # that could have run and did not are a failure.
        record "$label" FAILED - - 1 $((SECONDS - started)) \
            "not run: ${wine32_fault:-$IZ_WINE32_REASON}; built with its tests, imports checked"
    else
        record "$label" "not run" - - - $((SECONDS - started)) \
            "not run: $IZ_WINE32_REASON; built with its tests, imports checked"
    fi
done

started=$SECONDS
step "fuzzing (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)"
fuzz_log="$out/fuzz.log"
mkdir -p "$out"
fuzz_status=0
ci/fuzz.sh 2>&1 | tee "$fuzz_log" || fuzz_status=$?
fuzz_counts=$(sed -n 's/^fuzz targets: \([0-9]*\) run, \([0-9]*\) failed$/\1 \2/p' "$fuzz_log" | tail -n 1)
if [ -z "$fuzz_counts" ]; then
    record fuzzing FAILED - - 1 $((SECONDS - started)) "ci/fuzz.sh exit status $fuzz_status"
else
    read -r fuzz_run fuzz_failed <<<"$fuzz_counts"
    [ "$fuzz_status" -eq 0 ] || [ "$fuzz_failed" -ne 0 ] || fuzz_failed=1
    record fuzzing "$([ "$fuzz_failed" -eq 0 ] && echo passed || echo FAILED)" "$fuzz_run" \
        $((fuzz_run - fuzz_failed)) "$fuzz_failed" $((SECONDS - started)) \
        "targets, ${IZ_FUZZ_SECONDS:-60} s each"
fi

summary
[ "$total_failed" -eq 0 ]
