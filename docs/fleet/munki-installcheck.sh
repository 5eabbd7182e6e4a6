#!/bin/sh
# Munki installcheck_script for one TORVA software row. Exit status 1: the row is installed (Munki
# removes it when the item is in managed_uninstalls); 0: it is not. When the system cannot be read the
# row counts as installed, so that the removal is tried and its failure shows in Munki's report.
#
# Settings, from the environment or edited here:
#   UNINSTALLER_CLI  where uninstaller-cli is
#   SYSTEM_ROOT      the system to look at; "/" is this Mac
#   TORVA_ROW        the row, exactly as "uninstaller-cli list" prints it
UNINSTALLER_CLI=${UNINSTALLER_CLI:-/Applications/Uninstaller.app/Contents/MacOS/uninstaller-cli}
SYSTEM_ROOT=${SYSTEM_ROOT:-/}
TORVA_ROW=${TORVA_ROW:-Scan Utility}

# The name and version of each row of "list --json", a tab between them. Escapes stay as they are,
# except \" and \\, so that a name reads as "uninstaller-cli list" prints it.
ROWS_AWK='
{ text = text $0 "\n" }
END {
    n = length(text)
    for (i = 1; i <= n; i++) {
        c = substr(text, i, 1)
        if (c == "\"") {
            s = ""
            while (++i <= n && (c = substr(text, i, 1)) != "\"") {
                if (c == "\\") {
                    c = substr(text, ++i, 1)
                    if (c != "\"" && c != "\\") c = "\\" c
                }
                s = s c
            }
            j = i + 1
            while (substr(text, j, 1) ~ /[ \t\r\n]/) j++
            if (substr(text, j, 1) == ":") key = s
            else if (depth == 2 && key == "name") name = s
            else if (depth == 2 && key == "version") version = s
        } else if (c == "{" || c == "[") {
            if (++depth == 2) name = version = ""
        } else if (c == "}" || c == "]") {
            if (depth == 2 && c == "}") print name "\t" version
            depth--
        }
    }
}'

rows=$("$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" list --json)
status=$?
case $status in
0) ;;
4) exit 0 ;; # no TORVA software at all
*)
    echo "uninstaller-cli list ended with status $status; counting $TORVA_ROW as installed" >&2
    exit 1
    ;;
esac
if printf '%s\n' "$rows" | awk "$ROWS_AWK" | awk 'BEGIN { FS = "\t" } { print $1 }' |
    grep -Fx -- "$TORVA_ROW" >/dev/null; then
    exit 1
fi
exit 0
