# bash completion for uninstaller-cli: its commands, its options and the software names of the system
# in --root (or "/"). What to offer comes from uninstaller-cli itself ("uninstaller-cli __complete
# WORD..."), so that it always matches the program it completes.
#
#   source .../Uninstaller.app/Contents/Resources/completion/uninstaller-cli.bash

_uninstaller_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local quote=
    case $cur in
        \"* | \'*) quote=${cur:0:1}; cur=${cur:1} ;;
    esac
    # The words before the one being typed, with the backslashes of escaped spaces taken out.
    local -a before=()
    local word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        word=${word//\\ / }
        word=${word#[\"\']}
        word=${word%[\"\']}
        before+=("$word")
    done
    local IFS=$'\n'
    local -a reply
    reply=($(command "${COMP_WORDS[0]}" __complete "${before[@]}" "$cur" 2>/dev/null))
    COMPREPLY=()
    case ${reply[0]} in
        folders) COMPREPLY=($(compgen -d -- "$cur")) ;;
        files) COMPREPLY=($(compgen -f -- "$cur")) ;;
        words)
            for word in "${reply[@]:1}"; do
                # Inside quotes readline closes them; otherwise spaces and the like are escaped.
                if [[ -n $quote ]]; then
                    COMPREPLY+=("$word")
                else
                    COMPREPLY+=("$(printf '%q' "$word")")
                fi
            done
            ;;
    esac
}
complete -F _uninstaller_cli uninstaller-cli
