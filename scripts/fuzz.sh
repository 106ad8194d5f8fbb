#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and the sanitizers (in build-fuzz/) and runs each one
# for a fixed time. A violated property, a crash, a leak or a sanitizer report fails the run; the input
# that caused it is kept in build-fuzz/findings/<target>/ (run it again: build-fuzz/fuzz/<target> FILE).
#
#   scripts/fuzz.sh [seconds per target, default 30] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_settings fuzz_record fuzz_email fuzz_editfield)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMORE_FUZZ=ON \
    -DBUILD_TESTING=OFF -DQUILLMORE_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
for target in "${targets[@]}"; do
    # New inputs the fuzzer finds go to the first folder; the committed seeds are only read.
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$corpus" "$findings"
    echo "== $target, $seconds s"
    status=0
    build-fuzz/fuzz/"$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "fuzz/corpus/$target" >build-fuzz/"$target".log 2>&1 || status=$?
    grep -E "^(stat::number_of_executed_units|property violated|SUMMARY)|ERROR" build-fuzz/"$target".log || true
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "$target FAILED (exit $status): see build-fuzz/$target.log and $findings/"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
