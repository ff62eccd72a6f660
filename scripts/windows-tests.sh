#!/usr/bin/env bash
# Builds Tunewell for Windows with mingw-w64 (x86_64 and i686, static runtime), runs every
# x86_64 test under wine64, headless, in a wine prefix kept in build-win64/wineprefix, checks
# the i686 binaries statically (and that they load on Windows XP) and runs the x86_64
# Tunewell.dll inside the stand-in player.
# Arguments go to ctest (e.g. -R platform). Safe to run again; a fresh machine needs nothing
# but scripts/install-deps.sh, which this runs first.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
start=$SECONDS
step() { echo "== windows-tests: $* ($((SECONDS - start)) s)" >&2; }

scripts/install-deps.sh

for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null || { echo "windows-tests: $tool is missing" >&2; exit 1; }
done

step "building win64"
cmake --preset win64 >/dev/null
cmake --build --preset win64
step "building win32"
cmake --preset win32 >/dev/null
cmake --build --preset win32

# One self-contained binary each: the mingw runtime must be linked in, not needed beside it.
step "checking runtime dependencies"
bad=0
while IFS= read -r -d '' binary; do
  if x86_64-w64-mingw32-objdump -p "$binary" | grep 'DLL Name' |
     grep -iE 'lib(stdc\+\+|gcc_s|winpthread|ssp|gomp|quadmath|atomic)[^ ]*\.dll'; then
    echo "windows-tests: $binary needs a mingw runtime DLL" >&2
    bad=1
  fi
done < <(find build-win64 build-win32 \( -path '*/wineprefix' -o -path '*/CMakeFiles' \) -prune \
              -o \( -name '*.exe' -o -name '*.dll' \) -type f -print0)
[ "$bad" -eq 0 ]

# The wrapper that ctest runs each test through creates the prefix on first use; doing it here
# first keeps its time out of the first test's and fails early, and loudly, without wine.
step "preparing the wine prefix"
wine_run=("$root/cmake/wine-run.sh" "--prefix=$root/build-win64/wineprefix")
"${wine_run[@]}" --init

step "running the win64 tests under wine"
status=0
ctest --preset win64 "$@" || status=$?

# The shipping i686 binaries cannot run here: check what they are made of, and that Windows XP
# has everything they import.
step "checking the i686 binaries"
scripts/check-plugin-dll.sh build-win32 || status=1

step "running Tunewell.dll in the stand-in player (wine64, Xvfb, E: mapped)"
scripts/plugin-tests.sh || status=1

# The prefix's wine server outlives the last test by a few seconds; leave nothing behind.
"${wine_run[@]}" --wait || true
step "done (exit $status)"
exit "$status"
