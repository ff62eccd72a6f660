#!/usr/bin/env bash
# The packages' tests, on what scripts/package.sh builds (it runs first):
#   - the .deb: its control fields and contents, then the binary installed into a scratch root
#     runs --version and demo, the manual page renders and the completion completes;
#   - the x86 MSI, statically (msiinfo): its files, components and registry rows;
#   - the x64 MSI under wine64 in one fresh prefix: the DLL's own registration (regsvr32) is
#     taken as the reference and removed again, then the package is installed, compared with
#     it and run in the stand-in player, upgraded by a newer package and uninstalled.
# Needs build-win64's stand-in player (tunewell_plugin_tests), which it builds.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
start=$SECONDS
step() { echo "== package-tests: $* ($((SECONDS - start)) s)" >&2; }
failures=0
fail() { echo "package-tests: FAILED: $*" >&2; failures=$((failures + 1)); }
expect_eq() {  # what, expected, actual
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

version="$(sed -n 's/^project(Tunewell VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
# The newer package of the upgrade test: the same binaries under the next version.
newer="${version%.*}.$((${version##*.} + 1))"
installer_version() {  # A.B.C.D -> A.B.(C*1000+D), as scripts/msi_source.py makes it
  local IFS=.
  set -- $1
  echo "$1.$2.$(($3 * 1000 + $4))"
}
packages="$root/build/packages"
work="$(mktemp -d)"
prefix="$work/wineprefix"
wine_run=("$root/cmake/wine-run.sh" "--prefix=$prefix")
# Each registry look waits for the wine server to go: let it go soon after each program.
export TUNEWELL_WINE_LINGER=1
cleanup() {
  [ -d "$prefix" ] && "${wine_run[@]}" --wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step "building the packages"
scripts/package.sh
scripts/package.sh --version "$newer" --out "$work/newer"
# The same version packaged again is another product (a new product code) of the same version.
scripts/package.sh --version "$version" --out "$work/same"
cmake --build --preset win64 --target tunewell_plugin_tests >/dev/null

step "the .deb"
deb="$packages/tunewell_${version}_amd64.deb"
expect_eq "deb Package" tunewell "$(dpkg-deb -f "$deb" Package)"
expect_eq "deb Version" "$version" "$(dpkg-deb -f "$deb" Version)"
expect_eq "deb Architecture" amd64 "$(dpkg-deb -f "$deb" Architecture)"
depends="$(dpkg-deb -f "$deb" Depends)"
[[ "$depends" =~ (^|, )libtag[^,]*\( && "$depends" =~ (^|, )libc6 ]] ||
  fail "deb Depends lacks TagLib's runtime or libc6: $depends"
expect_eq "deb contents" "./usr/bin/tunewell
./usr/share/bash-completion/completions/tunewell
./usr/share/man/man1/tunewell.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)"
scratch="$work/deb-root"
dpkg-deb -x "$deb" "$scratch"
expect_eq "installed --version" "tunewell $version" "$("$scratch/usr/bin/tunewell" --version)"
(cd "$work" && "$scratch/usr/bin/tunewell" demo >"$work/demo.txt" 2>&1) ||
  fail "installed demo: $(cat "$work/demo.txt")"
grep -q "now holds" "$work/demo.txt" || fail "installed demo synced nothing"
if command -v man >/dev/null; then
  manual="$(MANWIDTH=80 man -l "$scratch/usr/share/man/man1/tunewell.1.gz" 2>/dev/null)"
  grep -q "tunewell sync" <<<"$manual" || fail "manual page lacks the sync command"
  warnings="$(MANWIDTH=80 man --warnings -l "$scratch/usr/share/man/man1/tunewell.1.gz" 2>&1 >/dev/null)"
  expect_eq "manual page warnings" "" "$warnings"
fi
completions() {  # the words completing the command line "$@" (the last word is being typed)
  bash -c 'source "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tunewell
           printf "%s\n" "${COMPREPLY[@]}"' \
    "$scratch/usr/share/bash-completion/completions/tunewell" "$@" | sort | tr '\n' ' '
}
expect_eq "completion of a command" "sync " "$(completions tunewell sy)"
expect_eq "completion of an option" "--json " "$(completions tunewell list --j)"
expect_eq "completion of remove's options" "--album --artist " "$(completions tunewell remove --a)"

step "the x86 MSI (msiinfo)"
msi86="$packages/Tunewell-$version-x86.msi"
rows="$(build/player/tunewell_registry_rows | grep -v '^owns')"
table() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r' | sort; }
expect_eq "x86 files" "CommandLine tunewell.exe
Latchkey32 latchkey.dll
Tunewell32 Tunewell.dll" "$(table "$msi86" File | awk -F'\t' '{print $1, $3}' | sort)"
# No component of it is a 64-bit one (msidbComponentAttributes64bit, 256).
expect_eq "x86 64-bit components" "" \
  "$(table "$msi86" Component | awk -F'\t' '($4 / 256) % 2 >= 1 {print $1}')"
expect_eq "x86 platform" "Intel;1033" "$(msiinfo suminfo "$msi86" | sed -n 's/^Template: //p')"
expect_eq "x86 product version" "$(installer_version "$version")" \
  "$(table "$msi86" Property | awk -F'\t' '$1 == "ProductVersion" {print $2}')"
# The table's rows as the package must hold them: HKCR is root 0, HKLM 2; a number is written
# #N, signed; the module path is the installed file's, [#Tunewell32].
expect_eq "x86 per-machine" "1" \
  "$(table "$msi86" Property | awk -F'\t' '$1 == "ALLUSERS" {print $2}')"
# Earlier versions and the same one are replaced (min and max inclusive), a newer one refuses it.
expect_eq "x86 upgrade rows" "0.0.0 $(installer_version "$version") 768 TUNEWELL_REPLACED
$(installer_version "$version")  2 TUNEWELL_NEWER" \
  "$(table "$msi86" Upgrade | awk -F'\t' '{print $2, $3, $5, $7}')"
expected_rows="$(awk -F'\t' -v OFS='\t' '{
  root = $1 == "HKCR" ? 0 : 2
  value = $5
  if ($4 == "REG_DWORD") value = "#" (value >= 2147483648 ? value - 4294967296 : value)
  gsub(/\[ModulePath\]/, "[#Tunewell32]", value)
  gsub(/\[ModuleFile\]/, "Tunewell.dll", value)
  print root, $2, $3, value, "Tunewell32"
}' <<<"$rows" | sort)"
expect_eq "x86 registry rows" "$expected_rows" \
  "$(table "$msi86" Registry | cut -f2- | sort)"

step "the x64 MSI under wine: a fresh prefix"
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
msi64="$(windows_path "$packages/Tunewell-$version-x64.msi")"
"${wine_run[@]}" --init
registry() { "${wine_run[@]}" --wait; cat "$prefix/system.reg"; }
ours=("Software\\Classes\\CLSID\\{DAE3EFF7-DE72-47E7-943B-941D7C20878C}"
      "Software\\Microsoft\\MediaPlayer\\UIPlugins\\{DAE3EFF7-DE72-47E7-943B-941D7C20878C}")
ours32=("Software\\Classes\\Wow6432Node\\CLSID\\{DAE3EFF7-DE72-47E7-943B-941D7C20878C}"
        "Software\\Wow6432Node\\Microsoft\\MediaPlayer\\UIPlugins\\{DAE3EFF7-DE72-47E7-943B-941D7C20878C}")
show() { python3 scripts/wine_registry.py show "$1" "${@:2}"; }
registry >"$work/base.reg"
program64="$prefix/drive_c/Program Files/Tunewell"
program32="$prefix/drive_c/Program Files (x86)/Tunewell"

step "the reference: regsvr32 of the x86_64 DLL where the package puts it"
mkdir -p "$program64"
cp build-win64/player/Tunewell.dll "$program64/"
"${wine_run[@]}" regsvr32 /s 'C:\Program Files\Tunewell\Tunewell.dll' ||
  fail "regsvr32 failed"
registry >"$work/regsvr32.reg"
show "$work/regsvr32.reg" "${ours[@]}" >"$work/reference"
[ "$(wc -l <"$work/reference")" -eq "$(wc -l <<<"$rows")" ] ||
  fail "regsvr32 wrote $(wc -l <"$work/reference") values, the table has $(wc -l <<<"$rows")"
"${wine_run[@]}" regsvr32 /u /s 'C:\Program Files\Tunewell\Tunewell.dll' ||
  fail "regsvr32 /u failed"
rm -rf "$program64"

step "installing"
"${wine_run[@]}" msiexec /i "$msi64" /qn || fail "msiexec /i failed"
for pair in "$program64/Tunewell.dll:build-win64/player/Tunewell.dll" \
            "$program64/tunewell.exe:build-win64/cli/tunewell.exe" \
            "$program32/Tunewell.dll:build-win32/player/Tunewell.dll"; do
  cmp -s "${pair%%:*}" "${pair#*:}" || fail "${pair%%:*} is not ${pair#*:}"
done
for file in "$program64/latchkey.dll" "$program32/latchkey.dll"; do
  [ -f "$file" ] || fail "$file is missing"
done
registry >"$work/installed.reg"
show "$work/installed.reg" "${ours[@]}" >"$work/installed64"
diff -u "$work/reference" "$work/installed64" >&2 || fail "the 64-bit view differs from regsvr32's"
# The 32-bit view: the same values under Wow6432Node, naming the i686 DLL.
sed -e 's/\\Classes\\CLSID\\/\\Classes\\Wow6432Node\\CLSID\\/' \
    -e 's/^Software\\Microsoft\\/Software\\Wow6432Node\\Microsoft\\/' \
    -e 's/Program Files\(\\\\*Tunewell\)/Program Files (x86)\1/' \
    "$work/reference" >"$work/expected32"
show "$work/installed.reg" "${ours32[@]}" >"$work/installed32"
diff -u "$work/expected32" "$work/installed32" >&2 || fail "the 32-bit view is not the 64-bit one's"

step "the stand-in player makes the installed plug-in"
cp build-win64/tests/win32/tunewell_plugin_tests.exe "$work/player.exe"
TUNEWELL_INSTALLED='C:\Program Files\Tunewell' \
  "${wine_run[@]}" "$work/player.exe" --gtest_filter='InstalledPluginTest.*' >"$work/player.txt" 2>&1 ||
  fail "the stand-in player: $(cat "$work/player.txt")"
grep -q '\[  PASSED  \] 1 test' "$work/player.txt" || fail "the stand-in player ran no test"

step "the same version again, then upgrading to $newer"
products() {  # the installed products' uninstall entries named Tunewell: their versions
  registry >"$work/now.reg"
  show "$work/now.reg" 'Software\Microsoft\Windows\CurrentVersion\Uninstall' |
    awk -F'\t' '$2 == "DisplayName" && $3 == "\"Tunewell\"" {print $1}' |
    while read -r key; do
      show "$work/now.reg" "$key" | awk -F'\t' '$2 == "DisplayVersion" {print $3}'
    done | tr -d '"' | sort | tr '\n' ' '
}
expect_eq "installed products" "$(installer_version "$version") " "$(products)"
"${wine_run[@]}" msiexec /i "$(windows_path "$work/same/Tunewell-$version-x64.msi")" /qn ||
  fail "msiexec /i of the same version packaged again failed"
expect_eq "products after the same version again" "$(installer_version "$version") " "$(products)"
"${wine_run[@]}" msiexec /i "$(windows_path "$work/newer/Tunewell-$newer-x64.msi")" /qn ||
  fail "msiexec /i of the newer package failed"
expect_eq "products after the upgrade" "$(installer_version "$newer") " "$(products)"
cmp -s "$program64/Tunewell.dll" build-win64/player/Tunewell.dll ||
  fail "the upgrade left no Tunewell.dll"
# The older package refuses to go over the newer one.
"${wine_run[@]}" msiexec /i "$msi64" /qn && fail "the older package installed over the newer"
expect_eq "products after the refused downgrade" "$(installer_version "$newer") " "$(products)"

step "uninstalling"
"${wine_run[@]}" msiexec /x "$(windows_path "$work/newer/Tunewell-$newer-x64.msi")" /qn ||
  fail "msiexec /x failed"
for folder in "$program64" "$program32"; do
  [ -e "$folder" ] && fail "$folder is still there: $(ls -A "$folder")"
done
registry >"$work/uninstalled.reg"
left="$(python3 scripts/wine_registry.py added "$work/base.reg" "$work/uninstalled.reg")"
expect_eq "keys and values left behind" "" "$left"
expect_eq "products after uninstalling" "" "$(products)"

step "done: $failures failure(s)"
[ "$failures" -eq 0 ]
