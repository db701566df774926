#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from the seed corpus in the
# repository. New inputs go to build/fuzz/found/, never into the seeds; a
# crash leaves its input in build/fuzz/ and fails the run.
#   tests/run_fuzz.sh [seconds per target]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
passed=0
failed=0
for target in build/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    found=build/fuzz/found/$name
    mkdir -p "$found"
    log=build/fuzz/$name.log
    if "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build/fuzz/ \
        "$found" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
        echo "ok    $name: $runs executions in $seconds s"
        passed=$((passed + 1))
    else
        echo "FAIL  $name: see $log"
        grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
