#!/usr/bin/env bash
# The system's gzip checks and restores the files the DLL compressed, and
# the DLL restores a file the system's gzip compressed (with a stored name
# and time stamp in its header).
# Usage: gzip_tool.sh wine-run.sh compress_tests.exe folder
set -u
run=$1 exe=$2 dir=$3
rm -rf "$dir" && mkdir -p "$dir" || exit 1
{ seq 1 30000; head -c 200000 /dev/urandom; seq 5 70000; } >"$dir/system.orig"
cp "$dir/system.orig" "$dir/system.in" && gzip -9 "$dir/system.in" || exit 1

KIV_GZIP_DIR=$dir "$run" "$exe" --gtest_filter='GzipTool.*' --gtest_color=no || exit 1

status=0 count=0
for gz in "$dir"/*_*.gz; do
  [ -e "$gz" ] || continue
  count=$((count + 1))
  if ! gzip -t "$gz"; then
    echo "FAIL: gzip -t rejects $(basename "$gz")"; status=1; continue
  fi
  if ! gzip -dc "$gz" >"${gz%.gz}.out" || ! cmp -s "${gz%.gz}.out" "${gz%.gz}.orig"; then
    echo "FAIL: gzip -d does not restore $(basename "$gz")"; status=1
  fi
done
if [ "$count" -ne 25 ]; then
  echo "FAIL: expected 25 gzip files, found $count"; status=1
fi
if [ $status -eq 0 ]; then
  echo "gzip accepted and restored all $count files"
  rm -rf "$dir"  # kept after a failure, for a look at the files
fi
exit $status
