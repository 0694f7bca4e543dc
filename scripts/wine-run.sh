#!/usr/bin/env bash
# Runs one Windows program under Wine in a throwaway prefix, so that the
# registry and files start clean and nothing of this machine leaks in.
#
# A ready-made template prefix (null display driver, so windows and message
# boxes work without an X server) is built once per base folder and copied
# for each run. KIV_WINE_SETUP may name a script that arranges the copy
# (drives, Windows version, replaced system programs) before the program
# starts; it runs with WINEPREFIX set and the server stopped afterwards.
#
# Usage: wine-run.sh program.exe [arguments...]
set -u
base=${KIV_WINE_BASE:-${TMPDIR:-/tmp}/kiv-wine}
template=$base/template
mkdir -p "$base"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    mkdir -p "$template"
    cd "$template" || exit 1
    WINEPREFIX=$template wineboot -i >/dev/null 2>&1
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    WINEPREFIX=$template wineserver -k >/dev/null 2>&1
    WINEPREFIX=$template wineserver -w >/dev/null 2>&1
    touch "$template/.ready"
  fi
) 9>"$base/lock" || { echo "wine-run: could not prepare the template prefix" >&2; exit 1; }

prefix=$(mktemp -d "$base/run.XXXXXX")
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT
cp -a "$template/." "$prefix/"
export WINEPREFIX=$prefix

if [ -n "${KIV_WINE_SETUP:-}" ]; then
  (cd "$prefix" && "$KIV_WINE_SETUP") || { echo "wine-run: setup script failed" >&2; exit 1; }
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
fi

# Wine's background processes keep inherited pipes open: write to a file
# and show it once the server is gone.
out=$prefix/.output
wine "$@" >"$out" 2>&1
rc=$?
wineserver -k >/dev/null 2>&1
cat "$out"
exit $rc
