#!/usr/bin/env bash
# Runs kivhost under Wine and expects it to fail with a message.
# Usage: expect-reject.sh wine-run.sh kivhost.exe "expected message (grep -E)" args...
set -u
run=$1 host=$2 pattern=$3
shift 3
out=$("$run" "$host" "$@" 2>&1)
rc=$?
printf '%s\n' "$out"
[ $rc -ne 0 ] || { echo "expected a non-zero exit, got 0"; exit 1; }
printf '%s\n' "$out" | grep -Eq -- "$pattern" || { echo "expected output matching: $pattern"; exit 1; }
