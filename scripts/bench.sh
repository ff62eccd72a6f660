#!/usr/bin/env bash
# Usage: scripts/bench.sh [FILTER]
# Builds the benchmarks and runs every one of them (or those whose program name contains
# FILTER), printing their figures. Uses the default preset's build folder, or the one named by
# TUNEWELL_BUILD_DIR (configured with TUNEWELL_BENCH=ON). JOBS limits the build's parallelism.
set -euo pipefail

cd "$(dirname "$0")/.."
filter=${1:-}
build=${TUNEWELL_BUILD_DIR:-build}
jobs=()
[ -n "${JOBS:-}" ] && jobs=(--parallel "$JOBS")
if [ "$build" = build ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default "${jobs[@]}"
else
  cmake --build "$build" "${jobs[@]}"
fi

status=0
found=0
for program in "$build"/bench/*/*; do
  name=$(basename "$program")
  [ -f "$program" ] && [ -x "$program" ] || continue
  [[ -z "$filter" || "$name" == *"$filter"* ]] || continue
  found=1
  args=()
  # The writer comparison runs libgpod's side through its helper, when that was built.
  if [ "$name" = writer_vs_libgpod ] && [ -x "$build/bench/gpod_bench" ]; then
    args+=("$build/bench/gpod_bench")
  fi
  echo
  echo "== $name"
  "$program" "${args[@]}" || { echo "bench: $name failed" >&2; status=1; }
done
[ "$found" = 1 ] || { echo "bench: no benchmark programs under $build/bench" >&2; exit 1; }
exit $status
