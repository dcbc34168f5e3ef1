#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each.
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
dir="$1"; secs="$2"
status=0
for t in "$dir"/fuzz/fuzz_*; do
  [ -x "$t" ] || continue
  name=$(basename "$t")
  corpus="$dir/fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds="$(dirname "$0")/../fuzz/seeds/$name"
  extra=()
  [ -d "$seeds" ] && extra+=("$seeds")
  echo "-- $name for ${secs}s"
  if ! "$t" -max_total_time="$secs" -max_len=65535 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        "$corpus" "${extra[@]}" > "$dir/fuzz/$name.log" 2>&1; then
    echo "   FAILED: see $dir/fuzz/$name.log"; tail -n 40 "$dir/fuzz/$name.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done ' "$dir/fuzz/$name.log" | tail -n 2 | sed 's/^/   /'
  fi
done
exit $status
