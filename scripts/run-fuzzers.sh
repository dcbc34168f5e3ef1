#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each, as many at once as there are
# cores (each target is one process on one core: the same time per target, less waiting).
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS [PARALLEL]
set -euo pipefail
dir="$1"; secs="$2"; parallel="${3:-$(nproc)}"
root="$(cd "$(dirname "$0")/.." && pwd)"

run_one() {
  local t=$1 name corpus seeds extra=()
  name=$(basename "$t")
  corpus="$dir/fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$name"
  [ -d "$seeds" ] && extra+=("$seeds")
  "$t" -max_total_time="$secs" -max_len=65535 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    "$corpus" "${extra[@]}" > "$dir/fuzz/$name.log" 2>&1
}

report() {
  local name=$1 rc=$2
  echo "-- $name for ${secs}s"
  if [ "$rc" != 0 ]; then
    echo "   FAILED: see $dir/fuzz/$name.log"; tail -n 40 "$dir/fuzz/$name.log"
  else
    grep -E 'stat::number_of_executed_units|Done ' "$dir/fuzz/$name.log" | tail -n 2 | sed 's/^/   /'
  fi
}

status=0
pids=(); names=()
wait_first() {
  local rc=0
  wait "${pids[0]}" || rc=$?
  report "${names[0]}" "$rc"
  [ "$rc" = 0 ] || status=1
  pids=("${pids[@]:1}"); names=("${names[@]:1}")
}
for t in "$dir"/fuzz/fuzz_*; do
  [ -x "$t" ] || continue
  [ "${#pids[@]}" -ge "$parallel" ] && wait_first
  run_one "$t" & pids+=($!); names+=("$(basename "$t")")
done
while [ "${#pids[@]}" -gt 0 ]; do wait_first; done
exit $status
