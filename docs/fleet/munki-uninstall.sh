#!/bin/sh
# Munki uninstall_script (uninstall_method "uninstall_script") for one TORVA software row. It prints
# uninstaller-cli's JSON report, which Munki keeps in its log, and exits 0 once the row is gone; any
# other status makes Munki report the failure and try again on its next run.
#
# Settings, from the environment or edited here:
#   UNINSTALLER_CLI  where uninstaller-cli is
#   SYSTEM_ROOT      the system to clean; "/" is this Mac
#   TORVA_ROW        the row, exactly as "uninstaller-cli list" prints it
UNINSTALLER_CLI=${UNINSTALLER_CLI:-/Applications/Uninstaller.app/Contents/MacOS/uninstaller-cli}
SYSTEM_ROOT=${SYSTEM_ROOT:-/}
TORVA_ROW=${TORVA_ROW:-Scan Utility}

"$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" uninstall --yes --json -- "$TORVA_ROW"
status=$?
case $status in
0 | 4) exit 0 ;; # removed, or no TORVA software is left at all
*) exit "$status" ;;
esac
