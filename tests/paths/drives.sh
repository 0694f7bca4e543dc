#!/bin/sh
# Drives of every kind the folder check tells apart, each a folder of the
# prefix: m: CD-ROM, n: network, o: removable, p: RAM disk, q: fixed.
set -e
for d in m n o p q; do
  mkdir -p "$WINEPREFIX/drives/$d"
  ln -sfn "../drives/$d" "$WINEPREFIX/dosdevices/$d:"
done
for entry in m:cdrom n:network o:floppy p:ramdisk q:hd; do
  wine reg add 'HKLM\Software\Wine\Drives' /v "${entry%%:*}:" /d "${entry#*:}" /f >/dev/null 2>&1
done
