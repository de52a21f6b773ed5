#!/usr/bin/env bash
# Runs each fuzz target for SECONDS on a scratch copy of its seed corpus. A
# failing input is kept in fuzz/regressions/TARGET/ (commit it: the test
# suite replays it from then on) and the run fails.
set -uo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
status=0
# One BLAS thread: the fuzzer runs one input at a time, and spinning threads only steal its core.
export OPENBLAS_NUM_THREADS=1
for target in parser batch calculate; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work"/
  echo "fuzz_$target: ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="fuzz/regressions/$target/" "$work" fuzz/regressions/$target > "$work.log" 2>&1; then
    tail -40 "$work.log"
    echo "fuzz_$target FAILED; the input is in fuzz/regressions/$target/"
    status=1
  else
    grep -E '^stat::number_of_executed_units' "$work.log" | sed "s/^/  /"
  fi
  rm -rf "$work" "$work.log"
done
exit $status
