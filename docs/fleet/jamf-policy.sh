#!/bin/sh
# Jamf Pro policy script: removes the TORVA software rows named in parameters 4 to 11 (one row each,
# exactly as "uninstaller-cli list" prints it), or every row when none is named. Rows that this Mac does
# not have are passed over, so that one policy can be scoped to every Mac. It prints uninstaller-cli's
# JSON report into the policy log and exits 0 once the rows are gone; any other status marks the policy
# failed on this Mac.
#
# Settings, from the environment or edited here:
#   UNINSTALLER_CLI  where uninstaller-cli is
#   SYSTEM_ROOT      the system to clean; "/" is this Mac
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

# Jamf passes the target volume, the computer's name and the user's name first.
if [ $# -ge 3 ]; then
    shift 3
else
    set --
fi

named=0
for row do
    [ -n "$row" ] && named=1
done
if [ "$named" = 1 ]; then
    rows=$("$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" list --json)
    status=$?
    case $status in
    0 | 4) ;;
    *) exit "$status" ;;
    esac
    installed=$(printf '%s\n' "$rows" | awk "$ROWS_AWK" | awk 'BEGIN { FS = "\t" } { print $1 }')
    # Keeps the named rows this Mac has, in their order.
    count=$#
    while [ "$count" -gt 0 ]; do
        row=$1
        shift
        count=$((count - 1))
        if [ -n "$row" ] && printf '%s\n' "$installed" | grep -Fx -- "$row" >/dev/null; then
            set -- "$@" "$row"
        fi
    done
    if [ $# -eq 0 ]; then
        echo "None of the named TORVA software is installed; nothing to remove."
        exit 0
    fi
    set -- -- "$@"
else
    set -- --all
fi

"$UNINSTALLER_CLI" --root "$SYSTEM_ROOT" uninstall --yes --json "$@"
status=$?
case $status in
0 | 4) exit 0 ;; # removed, or no TORVA software is left at all
*) exit "$status" ;;
esac
