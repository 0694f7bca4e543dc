#!/bin/sh
# The prefix reports Windows XP (5.1, NT platform).
set -e
wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
