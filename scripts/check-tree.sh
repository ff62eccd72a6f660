#!/usr/bin/env bash
# Usage: scripts/check-tree.sh
# Checks the rules the tree otherwise keeps by hand, over the C and C++ files git tracks:
#   - which folder may include which (README: "Layers point down"), from the table below;
#   - portable code includes no Windows or POSIX header and nothing under win32kit/, */win32/ or
#     */posix/ (platform/CMakeLists.txt, not an include, picks the OS files);
#   - clang-format leaves every file as it is.
# Prints file:line and the rule for each break; fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the folders of ours it may include.
# A folder may always include itself; a sub-folder (platform/posix, sync/win32, ...) may also
# include whatever its parent may. "*" is anything. A folder missing here is itself an error:
# a new folder takes a row.
edges=$(
  cat <<'EOF'
win32kit:
hook:
hook/win32:       hook
platform:
platform/posix:   platform
platform/memory:  platform
platform/win32:   platform win32kit
track:            platform
database:         track platform
storage:          track platform
storage/win32:    storage win32kit
contents:         track platform
sync:             database storage track platform hook
sync/win32:       sync win32kit
cli:              sync contents database storage track platform hook
player:           sync contents database storage track platform hook
player/win32:     player sync/win32 storage/win32 hook/win32 win32kit
latchkey:         hook hook/win32 win32kit
tests:            *
bench:            *
fuzz:             *
resources:        *
EOF
)

# Folders that may use the OS directly; every other folder is portable.
os_folders='(^|/)(win32|posix)(/|$)|^(win32kit|latchkey|tests|bench|fuzz|resources)(/|$)'
# Headers of Windows and of POSIX, which portable code reaches only through platform/.
os_headers='^(windows|windowsx|winbase|winuser|winreg|winerror|winnls|winioctl|winsock2?|ws2tcpip'
os_headers+='|commctrl|commdlg|objbase|ole2|oleauto|olectl|unknwn|wtypes|shlobj|shellapi|shlwapi'
os_headers+='|setupapi|cfgmgr32|devguid|dbt|tchar|io|direct|process|wmp|psapi|tlhelp32'
os_headers+='|knownfolders|uxtheme|versionhelpers'
os_headers+='|unistd|fcntl|pthread|dirent|spawn|signal|dlfcn|poll|termios|pwd|grp|glob|fnmatch'
os_headers+='|libgen|sched|semaphore|strings|syslog|utime|langinfo|iconv|mntent)\.h$'
os_headers+='|^(sys|netinet|arpa|net)/'

mapfile -t files < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
[ ${#files[@]} -gt 0 ] || { echo "check-tree: no tracked sources (not a git checkout?)" >&2; exit 1; }

failed=0

# -H: the file name even when there is a single file.
# Through the environment: awk -v would read the backslashes as escapes.
export edges os_folders os_headers
if ! grep -H -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "${files[@]}" |
    awk '
      BEGIN {
        os_folders = ENVIRON["os_folders"]
        os_headers = ENVIRON["os_headers"]
        n = split(ENVIRON["edges"], rows, "\n")
        for (i = 1; i <= n; i++) {
          if (rows[i] !~ /:/) continue
          folder = rows[i]; sub(/:.*/, "", folder)
          list = rows[i]; sub(/^[^:]*:[ \t]*/, "", list)
          known[folder] = 1
          may[folder] = list
        }
      }
      # The row a folder falls under: the longest one that is it or holds it.
      function row_of(dir,   d) {
        for (d = dir; d != ""; ) {
          if (d in known) return d
          if (d !~ /\//) return ""
          sub(/\/[^\/]*$/, "", d)
        }
        return ""
      }
      function listed(list, folder,   k, m, names) {
        m = split(list, names, /[ \t]+/)
        for (k = 1; k <= m; k++) if (names[k] == "*" || names[k] == folder) return 1
        return 0
      }
      function allowed(from, to,   parent) {
        if (from == to || listed(may[from], to)) return 1
        if (from ~ /\//) {
          parent = from; sub(/\/[^\/]*$/, "", parent)
          if (parent in known && listed(may[parent], to)) return 1
        }
        return 0
      }
      function report(msg) { print file ":" line ": " msg; bad = 1 }
      {
        # file:line:text; file names hold no colon.
        file = $0; sub(/:.*/, "", file)
        rest = substr($0, length(file) + 2)
        line = rest; sub(/:.*/, "", line)
        text = substr(rest, length(line) + 2)
        dir = file; if (dir ~ /\//) sub(/\/[^\/]*$/, "", dir); else dir = ""
        from = row_of(dir)
        if (from == "") { report("folder \"" dir "\" has no row in scripts/check-tree.sh"); next }
        portable = dir !~ os_folders

        if (match(text, /<[^>]*>/)) {
          header = substr(text, RSTART + 1, RLENGTH - 2)
          if (portable && tolower(header) ~ os_headers)
            report("portable " dir "/ includes the OS header <" header ">")
          next
        }
        if (!match(text, /"[^"]*"/)) next
        path = substr(text, RSTART + 1, RLENGTH - 2)
        if (path !~ /\//) { report("\"" path "\" is not a path from the repository root"); next }
        target = path; sub(/\/[^\/]*$/, "", target)
        to = row_of(target)
        if (to == "") { report("includes \"" path "\" from a folder with no row"); next }
        if (portable && target ~ os_folders)
          report("portable " dir "/ includes \"" path "\", which is OS code")
        else if (!allowed(from, to))
          report(from "/ may not include " to "/ (\"" path "\")")
      }
      END { exit bad }'; then
  failed=1
fi

command -v clang-format >/dev/null || { echo "check-tree: no clang-format" >&2; exit 1; }
if ! format=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
  # One line per place that drifts, without the quoted code.
  grep -E '^[^ ]+:[0-9]+:[0-9]+: error' <<<"$format" |
    sed -E 's/: error: .*/: not as clang-format writes it (clang-format -i FILE)/' ||
    echo "$format"
  failed=1
fi

if [ "$failed" -ne 0 ]; then
  echo "check-tree: the tree breaks its rules (above)" >&2
  exit 1
fi
echo "check-tree: includes and formatting of ${#files[@]} files follow the rules" >&2
