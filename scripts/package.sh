#!/usr/bin/env bash
# Builds the packages into build/packages/:
#   Tunewell-<version>-x64.msi   the i686 and x86_64 plug-ins and an x86_64 tunewell.exe
#   Tunewell-<version>-x86.msi   the i686 plug-in and tunewell.exe
#   tunewell_<version>_amd64.deb the command line, its manual page and bash completion
# <version> is the one in the top CMakeLists.txt.
#   scripts/package.sh [--msi-only] [--version A.B.C.D] [--out DIR]
# --version packages the binaries already built under another version (the upgrade test's
# newer package), without building anything again; it implies --msi-only.
# latchkey.dll comes from build-win64/latchkey/ and build-win32/latchkey/, or from
# TUNEWELL_LATCHKEY64 / TUNEWELL_LATCHKEY32 when those name a file.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
fail() { echo "package: $*" >&2; exit 1; }

version="$(sed -n 's/^project(Tunewell VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || fail "no version in CMakeLists.txt"
out="$root/build/packages"
msi_only=no
build=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --msi-only) msi_only=yes ;;
    --version) version="$2"; msi_only=yes; build=no; shift ;;
    --out) out="$2"; shift ;;
    *) fail "unknown argument $1" ;;
  esac
  shift
done
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version $version is not A.B.C.D"
for tool in wixl msibuild python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/install-deps.sh)"
done
mkdir -p "$out"

if [ "$build" = yes ]; then
  cmake --preset default >/dev/null
  targets=(tunewell_registry_rows)
  [ "$msi_only" = yes ] || targets+=(tunewell tunewell_manual)
  cmake --build --preset default --target "${targets[@]}"
  for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    targets=(tunewell_plugin tunewell)
    # The hook library's target, where the tree has it.
    [ -f latchkey/CMakeLists.txt ] && targets+=(latchkey)
    cmake --build --preset "$preset" --target "${targets[@]}"
  done
fi

latchkey64="${TUNEWELL_LATCHKEY64:-$root/build-win64/latchkey/latchkey.dll}"
latchkey32="${TUNEWELL_LATCHKEY32:-$root/build-win32/latchkey/latchkey.dll}"
for file in build-win64/player/Tunewell.dll build-win64/cli/tunewell.exe \
            build-win32/player/Tunewell.dll build-win32/cli/tunewell.exe \
            build/player/tunewell_registry_rows "$latchkey64" "$latchkey32"; do
  [ -f "$file" ] || fail "$file is missing"
done

# wixl takes sources relative to where it runs.
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/64" "$stage/32"
cp build-win64/player/Tunewell.dll build-win64/cli/tunewell.exe "$stage/64/"
cp "$latchkey64" "$stage/64/latchkey.dll"
cp build-win32/player/Tunewell.dll build-win32/cli/tunewell.exe "$stage/32/"
cp "$latchkey32" "$stage/32/latchkey.dll"
build/player/tunewell_registry_rows >"$stage/rows"

args_x64=(--arch x64 --version "$version" --rows "$stage/rows" --plugin64 64 --plugin32 32
          --cli 64/tunewell.exe)
args_x86=(--arch x86 --version "$version" --rows "$stage/rows" --plugin32 32 --cli 32/tunewell.exe)
out="$(cd "$out" && pwd)"
for arch in x64 x86; do
  declare -n args="args_$arch"
  msi="$out/Tunewell-$version-$arch.msi"
  python3 scripts/msi_source.py "${args[@]}" >"$stage/$arch.wxs"
  # wixl ignores the Platform attribute: without -a x64 it would make a 32-bit package.
  (cd "$stage" && wixl -a "$arch" -o "$msi" "$arch.wxs")
  # What wixl cannot say, set in its tables afterwards.
  mapfile -t fix < <(python3 scripts/msi_source.py "${args[@]}" --upgrade-fix)
  msibuild "$msi" -q "${fix[0]}" -q "${fix[1]}"
done
echo "package: $out/Tunewell-$version-x64.msi, $out/Tunewell-$version-x86.msi" >&2

if [ "$msi_only" = no ]; then
  (cd build && cpack -G DEB -B "$out" >/dev/null)
  rm -rf "$out/_CPack_Packages"
  echo "package: $out/tunewell_${version}_amd64.deb" >&2
fi
