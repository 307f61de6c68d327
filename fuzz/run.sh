#!/usr/bin/env bash
# Runs every fuzz target for a bounded time; fails when any of them finds a
# crash, a leak, a timeout or a broken invariant. Usage:
#   fuzz/run.sh [seconds per target, default 60] [build dir, default build/fuzz]
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build/fuzz}"
corpus="$root/../shared/corpus"

status=0
for target in LoadFrameSaveFuzzer ImageOperationsFuzzer; do
  work="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  seeds=("$root/fuzz/seeds" "$root/fuzz/regressions")
  if [ "$target" = LoadFrameSaveFuzzer ]; then
    for dir in "$corpus/bmpsuite/g" "$corpus/bmpsuite/b" "$corpus/peers"; do
      [ -d "$dir" ] && seeds+=("$dir")
    done
  fi
  echo "--- $target for ${seconds}s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work" "${seeds[@]}" 2>"$build/$target.log"; then
    status=1
    grep -E "ERROR|invariant broken|SUMMARY|Test unit written" "$build/$target.log" || tail -n 30 "$build/$target.log"
    echo "$target found a problem; the input is in $findings (add it to fuzz/regressions)"
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE|stat::average_exec_per_sec" "$build/$target.log" || true
done
exit "$status"
