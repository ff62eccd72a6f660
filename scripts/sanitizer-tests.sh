#!/usr/bin/env bash
# Usage: scripts/sanitizer-tests.sh
# The platform tests (threaded: the lock registry and its waits, the two-thread read) and the
# sync tests (runs and removals) under ThreadSanitizer ("tsan" preset), then
# under AddressSanitizer and UBSan ("fuzz" preset, where scripts/fuzz.sh runs the reader's tests).
# Builds only those programs. Fails on any sanitizer report or test failure.
set -euo pipefail
cd "$(dirname "$0")/.."

programs=(platform sync)
targets=()
for p in "${programs[@]}"; do targets+=("tunewell_${p}_tests"); done

# clang 14's TSan wants its shadow memory at fixed addresses; on kernels that randomise mmap with
# more bits than it expects a library can land there and it dies at start ("unexpected memory
# mapping"). Without address randomisation it always starts, so run without where we may.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then no_aslr=(setarch "$(uname -m)" -R); fi

run() {
  local build=$1 label=$2
  for p in "${programs[@]}"; do
    echo "sanitizer-tests: $p under $label" >&2
    "${no_aslr[@]}" "$build/tests/$p/tunewell_${p}_tests" --gtest_brief=1
  done
}

cmake --preset tsan >/dev/null
cmake --build --preset tsan --target "${targets[@]}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run build-tsan ThreadSanitizer

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run build-fuzz "AddressSanitizer and UBSan"
