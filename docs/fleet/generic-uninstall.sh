#!/bin/sh
# Removes TORVA's software from any management tool that runs a script as root and reads its exit
# status and output. Arguments: the rows to remove, exactly as "uninstaller-cli list" prints them;
# none removes every row. It prints uninstaller-cli's JSON report and exits with uninstaller-cli's exit
# status, except that "no TORVA software found" (4) is success here: there is nothing left to remove.
#
# Settings, from the environment or edited here:
#   UNINSTALLER_CLI  where uninstaller-cli is
#   SYSTEM_ROOT      the system to clean; "/" is this Mac
UNINSTALLER_CLI=${UNINSTALLER_CLI:-/Applications/Uninstaller.app/Contents/MacOS/uninstaller-cli}
SYSTEM_ROOT=${SYSTEM_ROOT:-/}

if [ $# -eq 0 ]; then
    set -- --all
else
    set -- -- "$@"
fi
"$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" uninstall --yes --json "$@"
status=$?
if [ "$status" = 4 ]; then
    echo "No TORVA software is installed; nothing to remove." >&2
    status=0
fi
exit "$status"
