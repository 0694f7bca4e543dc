#!/bin/sh
# Puts the stand-in registry editor (KIV_REGEDIT_FIXTURE) in the prefix's
# Windows folder and keeps Wine's own editor in windows/kivbackup.
set -eu
win="$WINEPREFIX/drive_c/windows"
mkdir -p "$win/kivbackup"
mv "$win/regedit.exe" "$win/kivbackup/regedit.exe"
cp "$KIV_REGEDIT_FIXTURE" "$win/regedit.exe"
