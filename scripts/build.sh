#!/usr/bin/env bash
# Configures and builds both trees: build/ (the DLL, host, Windows tests and
# benchmarks, cross-built for 32-bit Windows) and build-native/ (the
# portable logic under the sanitizers).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cmake -S "$root" -B "$root/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$jobs"
cmake -S "$root" -B "$root/build-native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-native" -j "$jobs"
