#!/usr/bin/env bash
# Builds what the gzip compression benchmark needs (if it is not built yet)
# and runs it under Wine: throughput of the two exports against plain zlib
# streaming, in one run on the same data.
# Usage: scripts/bench-compress.sh [MiB per data set] [repetitions]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 2 --target kivsetup compress_bench >/dev/null
# Data files on a memory file system where there is one, so that disk
# write-back does not blur the comparison.
if [ -z "${KIV_BENCH_DIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/kivbench.XXXXXX)
  trap 'rm -rf "$shm"' EXIT
  export KIV_BENCH_DIR="Z:${shm//\//\\}"
fi
KIV_WINE_BASE=$build/wine "$root/scripts/wine-run.sh" "$build/bin/compress_bench.exe" "$@"
