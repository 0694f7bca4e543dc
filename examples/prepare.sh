#!/bin/sh
# Arranges the demo's throwaway prefix before kivhost starts: the demo
# folder at C:\demo with the setup source, the setup INI and the companion
# modules, and the stand-in registry editor of the tests in place of Wine's
# (Wine's own editor does not take the silent-import switch the library
# passes; the stand-in records the call and imports the file with Wine's).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
demo="$WINEPREFIX/drive_c/demo"
cp -r "$here/demo" "$demo"
mkdir -p "$demo/companions"
cp "$KIV_DEMO_BIN/companions/"*.dll "$demo/companions/"
KIV_REGEDIT_FIXTURE="$KIV_DEMO_BIN/kivregedit.exe" "$here/../tests/actions/regedit-setup.sh"
# A provider order as a fresh Windows machine has it (a new Wine prefix has none).
cd "$WINEPREFIX"
wine reg add 'HKLM\System\CurrentControlSet\Control\NetworkProvider\Order' /v ProviderOrder \
  /d 'LanmanWorkstation,RDPNP' /f >/dev/null 2>&1
# Stand-ins for the product's programs, from the test fixtures: the client,
# the server console and the two services (QRVAlert40 depends on
# QRVSyncServer40). The script starts them.
mkdir -p "$demo/bin"
cp "$KIV_DEMO_BIN/kivfx_client.exe" "$KIV_DEMO_BIN/kivfx_server.exe" \
  "$KIV_DEMO_BIN/kivfx_service.exe" "$demo/bin/"
wine sc create QRVSyncServer40 binpath= 'C:\demo\bin\kivfx_service.exe' >/dev/null 2>&1
wine sc create QRVAlert40 binpath= 'C:\demo\bin\kivfx_service.exe' depend= QRVSyncServer40 >/dev/null 2>&1
# The client is closed without asking (the installer's unattended path).
wine reg add 'HKLM\Software\Brantelo\Solvanta\Preferences' /v AllowRequestUserCloseApp \
  /t REG_DWORD /d 0 /f >/dev/null 2>&1
