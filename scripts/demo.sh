#!/usr/bin/env bash
# The demo from a fresh machine: installs what is missing, builds, and runs
# the example installer script through kivhost in a throwaway Wine prefix,
# answering the library's message boxes and printing the restart calls
# instead of making them. Prints the transcript.
#
# Usage: scripts/demo.sh [script.kiv]   (default: examples/upgrade.kiv)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
script=${1:-$root/examples/upgrade.kiv}
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" >/dev/null
export KIV_WINE_BASE=$root/build/wine
bin=$root/build/bin
# Arrange the demo's system (fixture programs and folders) when the example
# needs one.
if [ -x "$root/examples/prepare.sh" ]; then
  export KIV_WINE_SETUP="$root/examples/prepare.sh"
  export KIV_DEMO_BIN=$bin
fi
echo "== kivhost --answer-boxes $(basename "$script")"
# Programs that the script starts are found beside the host.
cd "$bin"
"$root/scripts/wine-run.sh" "$bin/kivhost.exe" --answer-boxes "$script"
