#!/usr/bin/env bash
# Usage: scripts/fuzz.sh SECONDS
# Builds the "fuzz" preset (clang; ASan, UBSan and coverage on everything), runs the iTunesDB
# reader's and writer's tests under the sanitizers, then fuzzes the reader for SECONDS seconds
# from seeds made by the fixture builder plus the real iPod databases (cut down to their first
# tracks).
# New inputs collect in build-fuzz/fuzz/corpus; a crashing input lands in
# build-fuzz/fuzz/artifacts. Fails on any crash, leak, sanitizer report or test failure.
set -euo pipefail

seconds=${1:?usage: scripts/fuzz.sh SECONDS}
cd "$(dirname "$0")/.."
build=build-fuzz
out=$build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target itunesdb_fuzzer itunesdb_seeds tunewell_database_tests

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "fuzz: the reader's and writer's tests under ASan and UBSan" >&2
"$build/tests/database/tunewell_database_tests" --gtest_brief=1

rm -rf "$out/seeds"
mkdir -p "$out/seeds" "$out/corpus" "$out/artifacts"
real=()
for name in podcasts early; do
  db=../shared/real-ipods/$name/iPod_Control/iTunes/iTunesDB
  if [ -f "$db" ]; then real+=("$db"); else echo "fuzz: no $db; fuzzing without it" >&2; fi
done
"$out/itunesdb_seeds" "$out/seeds" "${real[@]}"

echo "fuzz: iTunesDB reader for ${seconds}s" >&2
"$out/itunesdb_fuzzer" "$out/corpus" "$out/seeds" \
  -dict=fuzz/itunesdb.dict \
  -max_total_time="$seconds" \
  -max_len=131072 \
  -detect_leaks=1 \
  -timeout=20 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/"
