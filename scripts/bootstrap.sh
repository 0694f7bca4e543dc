#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Safe to run again: it only installs what is missing.
set -eu
packages=(g++-mingw-w64-i686 libz-mingw-w64-dev cmake googletest g++ make wine wine32:i386 gzip locales)
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ -n "${need_update:-}" ]; then
  $sudo apt-get update -qq
fi
