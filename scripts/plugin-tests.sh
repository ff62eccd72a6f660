#!/usr/bin/env bash
# Runs the real Tunewell.dll inside the stand-in player under wine64 on an Xvfb display, with
# drive E: mapped onto a fresh iPod folder; then tunewell.exe syncs onto E:\ as well. Then our
# latchkey.dll in the same player, worked with real input, with the plug-in syncing onto G:.
# Afterwards the iPods' databases are read from Linux, by our own reader and by libgpod.
# Screenshots of the plug-in's windows land in build/screenshots/ as PNGs.
# Arguments go to the test program (--gtest_filter=..., --gtest_shuffle; GTEST_* variables reach
# it too); a filtered run needs only the screenshots of the tests it ran.
# Needs build-win64 built (scripts/windows-tests.sh does that) and the Linux build's tunewell and
# gpod_tool, which it builds when missing. F: is a second iPod with no music, for the contents
# view's notice; the screenshots of the plug-in's windows land beside the properties dialog's.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
prefix="$root/build-win64/wineprefix"
wine_run=("$root/cmake/wine-run.sh" "--prefix=$prefix")
host_exe="$root/build-win64/tests/win32/tunewell_plugin_tests.exe"
latchkey_exe="$root/build-win64/tests/win32/latchkey/tunewell_latchkey_tests.exe"
cli_exe="$root/build-win64/cli/tunewell.exe"
tunewell="$root/build/cli/tunewell"
gpod_tool="$root/build/tests/support/gpod_tool"
screens="$root/build/screenshots"
fail() { echo "plugin-tests: $*" >&2; exit 1; }

for tool in Xvfb convert; do
  command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/install-deps.sh)"
done
[ -x "$host_exe" ] && [ -x "$latchkey_exe" ] && [ -x "$cli_exe" ] || fail "build-win64 is not built"
if [ ! -x "$tunewell" ] || [ ! -x "$gpod_tool" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target tunewell gpod_tool
fi

work="$(mktemp -d)"
drive="$prefix/dosdevices/e:"
empty_drive="$prefix/dosdevices/f:"
latchkey_drive="$prefix/dosdevices/g:"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  "${wine_run[@]}" --wait || true
  [ -L "$drive" ] && rm -f "$drive"
  [ -L "$empty_drive" ] && rm -f "$empty_drive"
  [ -L "$latchkey_drive" ] && rm -f "$latchkey_drive"
  rm -rf "$work"
}
trap cleanup EXIT

"${wine_run[@]}" --init
# A wine server still lingering from headless programs would keep its desktop without a display.
"${wine_run[@]}" --wait || true
"$tunewell" init --ipod "$work/ipod" --shuffle >/dev/null
"$tunewell" init --ipod "$work/empty" >/dev/null
"$tunewell" init --ipod "$work/latchkey" --shuffle >/dev/null
ln -sfn "$work/ipod" "$drive"
ln -sfn "$work/empty" "$empty_drive"
ln -sfn "$work/latchkey" "$latchkey_drive"

# A display of our own: the first free number from 90 on.
for n in $(seq 90 150); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    export TUNEWELL_WINE_DISPLAY=":$n"
    break
  fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || fail "no Xvfb display could be started"
# Without a window manager wine draws the window frames itself, captions included.
"${wine_run[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

mkdir -p "$screens"
shots=(about-dialog progress-mid-run progress-summary progress-failure contents-collapsed
       contents-expanded-selection contents-no-music eject-tooltip latchkey-rows-ticked
       latchkey-progress latchkey-contents)
for shot in "${shots[@]}"; do rm -f "$screens/$shot.bmp" "$screens/$shot.png"; done
TUNEWELL_SCREENSHOT_DIR="Z:$screens" "${wine_run[@]}" "$host_exe" "$@"
TUNEWELL_SCREENSHOT_DIR="Z:$screens" "${wine_run[@]}" "$latchkey_exe" "$@"
filtered="${GTEST_FILTER:-}"
for arg in "$@"; do [[ "$arg" == --gtest_filter=* ]] && filtered=yes; done
for shot in "${shots[@]}"; do
  if [ ! -f "$screens/$shot.bmp" ]; then
    [ -n "$filtered" ] && continue
    fail "no screenshot $shot"
  fi
  convert "$screens/$shot.bmp" "$screens/$shot.png"
  rm -f "$screens/$shot.bmp"
done

# The tracks the plug-in's last runs left, which tunewell.exe adds to.
titles() {
  "$tunewell" list --ipod "$work/${1:-ipod}" --json | { grep -o '"title": "[^"]*"' || true; } |
    sed 's/"title": "\(.*\)"/\1/'
}
left="$(titles)"
[ -n "$left" ] || [ -n "$filtered" ] || fail "the plug-in's runs left no track on E:"

# tunewell.exe onto the drive letter: the drive-root form and the Win32 file calls for real.
mkdir -p "$work/more"
frame() { printf '\xff\xfb\x90\xc4'; head -c 413 /dev/zero; }
for name in "Night Drive" "Sunday"; do
  for _ in $(seq 40); do frame; done >"$work/more/$name.mp3"
done
# (A selection the plug-in's tests left would decide.)
"${wine_run[@]}" "$cli_exe" autosync --ipod 'E:\' --off >/dev/null
[ ! -e "$work/ipod/autoSync" ] || fail "tunewell.exe autosync --off left the autoSync file"
"${wine_run[@]}" "$cli_exe" sync --ipod 'E:\' "Z:$work/more" >/dev/null

# The iPod as Linux sees it: both readers find the plug-in's tracks and tunewell.exe's two, each
# with its file.
expected="$(printf '%s\n' "$left" "Night Drive" Sunday | sed '/^$/d' | sort)"
count="$(echo "$expected" | wc -l)"
ours="$(titles | sort)"
gpod="$("$gpod_tool" dump "$work/ipod" | awk -F'\t' '$1 == "track" {print $3}' | sort)"
[ "$ours" = "$expected" ] || fail "tunewell list reads: $(echo $ours)"
[ "$gpod" = "$expected" ] || fail "libgpod reads: $(echo $gpod)"
[ "$(find "$work/ipod/iPod_Control/Music" -name '*.mp3' | wc -l)" -eq "$count" ] ||
  fail "the music folders do not hold $count files"
echo "plugin-tests: plug-in and tunewell.exe left $count tracks on E:, read back by both readers" >&2

# G: holds what the plug-in synced from the Sync tab over our latchkey.dll.
ours="$(titles latchkey | sort | tr '\n' ' ')"
gpod="$("$gpod_tool" dump "$work/latchkey" | awk -F'\t' '$1 == "track" {print $3}' | sort | tr '\n' ' ')"
if [ -n "$ours$gpod" ] || [ -z "$filtered" ]; then
  [ "$ours" = "Harbour Lantern " ] || fail "tunewell list reads on G:: $ours"
  [ "$gpod" = "$ours" ] || fail "libgpod reads on G:: $gpod"
  echo "plugin-tests: the Sync tab's sync over latchkey.dll left $ours on G:, read back by both readers" >&2
fi
