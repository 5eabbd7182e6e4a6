#!/bin/sh
# Jamf Pro extension attribute (string): the TORVA software installed on this Mac, one row a line as
# "name version" (a row without a version shows its name only), or "None". Smart groups can then find
# the Macs that still have a row ("like Scan Utility").
#
# Settings, from the environment or edited here:
#   UNINSTALLER_CLI  where uninstaller-cli is
#   SYSTEM_ROOT      the system to look at; "/" is this Mac
UNINSTALLER_CLI=${UNINSTALLER_CLI:-/Applications/Uninstaller.app/Contents/MacOS/uninstaller-cli}
SYSTEM_ROOT=${SYSTEM_ROOT:-/}

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

rows=$("$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" list --json 2>/dev/null)
status=$?
case $status in
0)
    result=$(printf '%s\n' "$rows" | awk "$ROWS_AWK" |
        awk 'BEGIN { FS = "\t" } { print (($2 == "-" || $2 == "") ? $1 : $1 " " $2) }')
    ;;
4) result=None ;;
*) result="Error: uninstaller-cli list ended with status $status" ;;
esac
echo "<result>$result</result>"
