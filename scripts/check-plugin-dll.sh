#!/usr/bin/env bash
# Checks the shipping i686 binaries without running them (32-bit programs do not run here).
# Each must load on Windows XP SP3, where the player runs: every function it imports must be
# listed under its DLL in scripts/xp-imports.txt. Tunewell.dll must also be the player's plug-in:
# its machine, the export directory's name and its four undecorated exports, and every resource
# the player and the plug-in load; latchkey.dll its six undecorated exports and its version.
# (The x86_64 builds, for the players of Vista and later, are not checked here.)
#   check-plugin-dll.sh [BUILD_DIR]        (default build-win32)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-win32}"
allowed="$root/scripts/xp-imports.txt"
# Every i686 binary we ship.
shipped=(player/Tunewell.dll cli/tunewell.exe latchkey/latchkey.dll)

status=0
fail() { echo "check-plugin-dll: $binary: $*" >&2; status=1; }

# "dll function" for each import, the DLL in lower case; by ordinal, "dll #N".
imports() {
  i686-w64-mingw32-objdump -p "$1" | awk '
    /^The Import Tables/ { on = 1; next }
    on && /^The / { on = 0 }
    on && /DLL Name:/ { dll = tolower($3); next }
    on && dll != "" && /^\t[0-9a-f]+\t +[0-9]+ / { print dll, ($3 == "<none>" ? "#" $2 : $3) }
    on && /^$/ { dll = "" }' | sort -u
}

check_imports() {
  local outside
  outside="$(comm -23 <(imports "$binary") <(awk '!/^#/ && NF { print tolower($1), $2 }' \
                                                "$allowed" | sort -u))"
  [ -z "$outside" ] || fail "imports what Windows XP SP3 may lack (not in $allowed):
$outside"
}

# The export names, sorted, on one line.
exports() {
  i686-w64-mingw32-objdump -p "$binary" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '/^\t\[/ {print $NF}' | LC_ALL=C sort -u | tr '\n' ' '
}

check_plugin() {
  local headers resources icon expected
  headers="$(i686-w64-mingw32-objdump -p "$binary")"
  grep -Eq '^Name[[:space:]]+[0-9a-f]+ CADENZA\.DLL$' <<<"$headers" ||
    fail "export directory not named CADENZA.DLL"
  [ "$(exports)" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
    fail "exports are '$(exports)'"

  resources="$(i686-w64-mingw32-windres -i "$binary" -J coff -O rc)"
  for expected in '^107 2 /\* RT_BITMAP \*/$' '^104 DIALOGEX 0, 0, 202, 145$' \
                  '^CAPTION "Tunewell Properties"$' '^105 DIALOGEX 0, 0, 189, 49$' \
                  '^CAPTION "Synchronization in Progress"$' '^  102, "Tunewell"$' \
                  '^  103, "This plug-in enables you to sync your MP3s with your iPod\."$' \
                  '^ FILEVERSION 1, 1, 0, 15$' '^ PRODUCTVERSION 1, 1, 0, 15$' \
                  '"ProductName", " Tunewell Dynamic Link Library"$' \
                  '"OriginalFilename", "Tunewell.dll"$'; do
    grep -Eq "$expected" <<<"$resources" || fail "no resource line matching $expected"
  done
  # The icon: 16 x 16 at 8 bits per pixel with a 256-entry palette (BITMAPINFOHEADER words).
  # (size 0x28, width, height, planes 1 and 8 bits, BI_RGB, image bytes, resolution; colours used)
  icon="$(grep -A3 '^107 2 ' <<<"$resources" | tail -2 | tr -d ' \n')"
  [[ "$icon" == 0x28L,0x10L,0x10L,0x80001L,0x0L,0x100L,*,*,0x100L,* ]] ||
    fail "bitmap 107 is not 16 x 16 at 8 bits per pixel with 256 colours"
}

# The hook library: the six functions the plug-in looks up by name, undecorated, and the
# plug-in's version.
check_hook_library() {
  [ "$(exports)" = "GetDeviceSelectionComboWindow GetIPodRootDirectory GetSyncListViewHWnd \
GetSyncSettingsDlgHWnd StopAutomaticSyncProcess installhook " ] || fail "exports are '$(exports)'"
  i686-w64-mingw32-windres -i "$binary" -J coff -O rc | grep -q '^ FILEVERSION 1, 1, 0, 15$' ||
    fail "no version block of 1.1.0.15"
}

for name in "${shipped[@]}"; do
  binary="$build/$name"
  if [ ! -f "$binary" ]; then fail "missing"; continue; fi
  if ! i686-w64-mingw32-objdump -f "$binary" | grep -q 'file format pei-i386'; then
    fail "not an i386 PE file"
    continue
  fi
  check_imports
  case "$name" in
    */Tunewell.dll) check_plugin ;;
    */latchkey.dll) check_hook_library ;;
  esac
done
[ "$status" -eq 0 ] &&
  echo "check-plugin-dll: ${shipped[*]}: i386, imports present on Windows XP SP3;" \
       "Tunewell.dll: CADENZA.DLL, four exports, resources ok; latchkey.dll: six exports" >&2
exit "$status"
