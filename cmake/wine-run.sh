#!/usr/bin/env bash
# Runs a Windows program under wine64, headless, in a wine prefix of its own.
#   wine-run.sh --prefix=DIR PROGRAM.exe [ARG...]
#   wine-run.sh --prefix=DIR --init        (only creates the prefix)
#   wine-run.sh --prefix=DIR --wait        (waits until the prefix's wine server has exited)
# The prefix is created on first use (serialised by a lock, since ctest starts tests in
# parallel) and marked ready only once wineboot has finished, so an interrupted creation is
# redone. No windows and no installer prompts: DISPLAY is dropped (set TUNEWELL_WINE_DISPLAY to
# give wine one) and the .NET and HTML engines are disabled.
set -euo pipefail

prefix=""
if [[ "${1:-}" == --prefix=* ]]; then
  prefix="${1#--prefix=}"
  shift
fi
if [ -z "$prefix" ]; then
  echo "wine-run.sh: usage: wine-run.sh --prefix=DIR (--init | --wait | PROGRAM [ARG...])" >&2
  exit 2
fi

find_wine() {
  local candidate
  for candidate in "$(command -v wine64 2>/dev/null || true)" /usr/lib/wine/wine64 \
                   /usr/lib/x86_64-linux-gnu/wine/wine64; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

if ! WINE="$(find_wine)"; then
  echo "wine-run.sh: wine64 is not installed (run scripts/install-deps.sh); cannot run $*" >&2
  exit 127
fi
WINESERVER="$(dirname "$WINE")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER="$(command -v wineserver || echo wineserver)"

export WINEPREFIX="$prefix"
export WINELOADER="$WINE"
export WINESERVER
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64
unset WAYLAND_DISPLAY
if [ -n "${TUNEWELL_WINE_DISPLAY:-}" ]; then
  export DISPLAY="$TUNEWELL_WINE_DISPLAY"
else
  unset DISPLAY
fi

if [ "${1:-}" = "--wait" ]; then
  exec "$WINESERVER" -w
fi

ready="$prefix/.tunewell-ready"
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      # Only ever remove what an earlier, interrupted creation left.
      if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] && [ ! -e "$prefix/dosdevices" ] &&
         [ ! -e "$prefix/drive_c" ] && [ ! -e "$prefix/system.reg" ]; then
        echo "wine-run.sh: $prefix exists and is no wine prefix; not touching it" >&2
        exit 1
      fi
      rm -rf "$prefix"
      if ! "$WINE" wineboot -i </dev/null >/dev/null 2>&1 9>&-; then
        echo "wine-run.sh: wineboot failed to create $prefix" >&2
        exit 1
      fi
      "$WINESERVER" -w 9>&-
      if [ ! -f "$prefix/system.reg" ]; then
        echo "wine-run.sh: wineboot left no registry in $prefix" >&2
        exit 1
      fi
      touch "$ready"
    fi
  ) 9>"$prefix.lock"
fi

if [ "${1:-}" = "--init" ]; then
  exit 0
fi

# Starting the server and wine's own services takes seconds, a test program a fraction of one:
# keep them alive for a few seconds between the programs of one run. The services take the
# standard streams of the program that starts them, and ctest waits until every holder of its
# pipe has gone, so a new session is started here by a program of our own on /dev/null.
# (Nothing started under the lock may inherit it: it would hold it as long as it lives.)
(
  flock 9
  if "$WINESERVER" -p"${TUNEWELL_WINE_LINGER:-5}" </dev/null >/dev/null 2>&1 9>&-; then
    if ! "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&-; then
      # A server that never had a client would not time out.
      "$WINESERVER" -k >/dev/null 2>&1 9>&- || true
    fi
  fi
) 9>"$prefix.lock"
exec "$WINE" "$@"
