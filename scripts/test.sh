#!/usr/bin/env bash
# Everything from a fresh machine: dependencies, both builds, then the
# native tests and the Wine tests. Fails if either test run fails.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh"
status=0
echo "== native tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
(cd "$root/build-native" && ctest --output-on-failure) || status=1
echo "== Windows tests under Wine"
(cd "$root/build" && ctest --output-on-failure -j 2) || status=1
exit $status
