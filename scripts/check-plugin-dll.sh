#!/usr/bin/env bash
# Checks the shipping i686 Tunewell.dll without running it (32-bit programs do not run here):
# its machine, the export directory's name and its four undecorated exports, that it needs no
# DLL beyond Windows' own, and that every resource the player and the plug-in load is there.
#   check-plugin-dll.sh [DLL]        (default build-win32/player/Tunewell.dll)
set -euo pipefail

dll="${1:-$(cd "$(dirname "$0")/.." && pwd)/build-win32/player/Tunewell.dll}"
fail() { echo "check-plugin-dll: $dll: $*" >&2; exit 1; }
[ -f "$dll" ] || fail "missing"

headers="$(i686-w64-mingw32-objdump -p "$dll")"
grep -q 'file format pei-i386' <<<"$headers" || fail "not an i386 PE file"
grep -Eq '^Name[[:space:]]+[0-9a-f]+ CADENZA\.DLL$' <<<"$headers" || fail "export directory not named CADENZA.DLL"
exports="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/ {print $NF}' |
           sort -u | tr '\n' ' ')"
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
  fail "exports are '$exports'"
imports="$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers" | sort -u)"
for name in $imports; do
  case "$name" in
    advapi32.dll|kernel32.dll|msvcrt.dll|oleaut32.dll|ole32.dll|user32.dll|gdi32.dll|version.dll|comctl32.dll|setupapi.dll|cfgmgr32.dll) ;;
    *) fail "imports $name, which Windows does not ship" ;;
  esac
done

resources="$(i686-w64-mingw32-windres -i "$dll" -J coff -O rc)"
for expected in '^107 2 /\* RT_BITMAP \*/$' '^104 DIALOGEX 0, 0, 202, 145$' \
                '^CAPTION "Tunewell Properties"$' '^105 DIALOGEX 0, 0, 189, 49$' \
                '^CAPTION "Synchronization in Progress"$' '^  102, "Tunewell"$' \
                '^  103, "This plug-in enables you to sync your MP3s with your iPod\."$' \
                '^ FILEVERSION 1, 1, 0, 15$' '^ PRODUCTVERSION 1, 1, 0, 15$' \
                '"ProductName", " Tunewell Dynamic Link Library"$' '"OriginalFilename", "Tunewell.dll"$'; do
  grep -Eq "$expected" <<<"$resources" || fail "no resource line matching $expected"
done
# The icon: 16 x 16 at 8 bits per pixel with a 256-entry palette (BITMAPINFOHEADER words).
# (size 0x28, width, height, planes 1 and 8 bits, BI_RGB, image bytes, resolution; colours used)
icon="$(grep -A3 '^107 2 ' <<<"$resources" | tail -2 | tr -d ' \n')"
[[ "$icon" == 0x28L,0x10L,0x10L,0x80001L,0x0L,0x100L,*,*,0x100L,* ]] ||
  fail "bitmap 107 is not 16 x 16 at 8 bits per pixel with 256 colours"
echo "check-plugin-dll: $dll: i386, CADENZA.DLL, four exports, system imports, resources ok" >&2
