#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a
# copy of its seed corpus, so that nothing under the repository is written.
# Any crash, leak, sanitizer report, time-out or broken invariant fails it;
# reproducers and logs stay in the build folder. Its last lines count the
# targets run and failed.
#   IZ_BUILD_ROOT    where the build goes (default: out), in <root>/fuzz
#   IZ_FUZZ_SECONDS  seconds per target (default: 60)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="${IZ_BUILD_ROOT:-$root/out}/fuzz"
seconds="${IZ_FUZZ_SECONDS:-60}"
jobs=$(nproc)

step() { printf '\n=== %s\n' "$*"; }

step "fuzz build (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DINSTALLZOVA_FUZZ=ON -DINSTALLZOVA_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
ran=0

# Prints the run's executions, speed and coverage from its log.
summarize() {  # log
    local log=$1
    local runs speed cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    cov=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9A-Za-z]+' || true)
    printf '%s executions, %s exec/s, %s\n' "${runs:-?}" "${speed:-?}" "${cov:-no coverage line}"
}

run_target() {  # name, max_len
    local name=$1 max_len=$2
    local corpus="$build/corpus/$name" artifacts="$build/artifacts/$name" log="$build/logs/$name.log"
    step "$name: $seconds s, -max_len=$max_len"
    rm -rf "$corpus" "$artifacts"
    mkdir -p "$corpus" "$artifacts" "$build/logs"
    cp "$root/fuzz/corpus/$name/"* "$corpus/"
    local status=0
    "$build/fuzz/$name" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        >"$log" 2>&1 || status=$?
    summarize "$log"
    ran=$((ran + 1))
    local reports
    reports=$(grep -cE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|invariant broken|==[0-9]+== *ERROR' "$log" || true)
    if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
        echo "FAILED: exit status $status, $reports report(s); log $log"
        ls -l "$artifacts"
        grep -E -A 40 'ERROR|runtime error|invariant broken' "$log" | head -n 80 || true
        failed=$((failed + 1))
    fi
}

run_target ini_reader_fuzz 100000
run_target load_settings_fuzz 65536
run_target replay_fuzz 2097152

echo "fuzz targets: $ran run, $failed failed"
if [ "$failed" -ne 0 ]; then
    step "fuzzing found faults"
    exit 1
fi
step "no fault found"
