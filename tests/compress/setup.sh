#!/usr/bin/env bash
# Two files on a device that is always full, for the full-disk test.
set -eu
ln -sf /dev/full "$WINEPREFIX/drive_c/full.gz"
ln -sf /dev/full "$WINEPREFIX/drive_c/full.txt"
