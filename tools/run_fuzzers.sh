#!/usr/bin/env bash
# Runs each fuzz target for a fixed time on a working copy of its seed corpus
# (tests/fuzz/corpus/<target>), printing libFuzzer's final statistics.
# usage: run_fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
source=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in song_list settings wave_image; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/crash-$target-" "$work" "$source/tests/fuzz/corpus/$target" \
        2>"$build/fuzz_$target.log"; then
    status=1
    tail -n 40 "$build/fuzz_$target.log"
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added' "$build/fuzz_$target.log" || true
done
exit $status
