# bash completion for korlc                                  -*- shell-script -*-
#
# Commands, options and file arguments are read from korlc's own help texts
# ("korlc --help" and the "usage:" line of "korlc COMMAND --help"), so the
# completion follows whatever korlc is installed. Placeholders in a usage line
# decide what is offered: NAME.ext files with that extension (and folders),
# FILE and SOURCE any file, a|b|c those words, OPTION the option names the help
# text lists; anything else (TIME, VALUE) nothing.

declare -gA _korlc_help_cache 2>/dev/null || true

# Sets REPLY to the help text of "$1 $2 --help" ("$1 --help" when $2 is empty).
_korlc_help() {
    local key="$1|$2"
    if [[ -z ${_korlc_help_cache[$key]+set} ]]; then
        if [[ -n $2 ]]; then
            _korlc_help_cache[$key]=$("$1" "$2" --help 2>/dev/null)
        else
            _korlc_help_cache[$key]=$("$1" --help 2>/dev/null)
        fi
    fi
    REPLY=${_korlc_help_cache[$key]}
}

# Fills COMPREPLY with what placeholder $1 stands for, matching $2.
_korlc_placeholder() {
    local word=${1%...} cur=$2 help=$3
    case $word in
        *'|'*)
            mapfile -t COMPREPLY < <(compgen -W "${word//|/ }" -- "$cur")
            ;;
        *.[A-Za-z0-9]*)
            local ext=${word##*.}
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(
                compgen -f -X "!*.$ext" -- "$cur"
                compgen -d -- "$cur"
            )
            ;;
        FILE* | SOURCE* | HEADER* | DIR*)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            ;;
        OPTION)
            # Help lines of the form "  Name  (alias)  what it does".
            local names
            names=$(sed -n 's/^  \([A-Za-z][A-Za-z0-9]*\) *(\([a-z][a-z0-9-]*\)).*/\1 \2/p' <<<"$help")
            mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
            ;;
    esac
}

_korlc() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prog=${COMP_WORDS[0]}
    # A typed "~/bin/korlc" reaches us unexpanded.
    # shellcheck disable=SC2088
    [[ $prog == "~/"* ]] && prog=$HOME/${prog#"~/"}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        _korlc_help "$prog" ""
        local commands
        commands=$(sed -n '/^commands:/,/^$/s/^  \([a-z0-9][a-z0-9-]*\) .*/\1/p' <<<"$REPLY")
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return 0
    fi

    local command=${COMP_WORDS[1]}
    [[ $command == -* ]] && return 0
    _korlc_help "$prog" "$command"
    local help=$REPLY
    local usage
    usage=$(sed -n "1s/^usage: korlc $command *//p" <<<"$help")

    # Split the usage line into options (with the placeholder each takes, when
    # it follows inside the same brackets) and positional placeholders.
    local -a tokens positional
    local -A takes
    local options="--help" token i spaced
    # An optional extension ("PROJECT[.k1]") stays part of its placeholder.
    spaced=${usage//\[./(.}
    spaced=${spaced//\[/ [ }
    spaced=${spaced//\]/ ] }
    read -ra tokens <<<"$spaced"
    for ((i = 0; i < ${#tokens[@]}; i++)); do
        token=${tokens[i]}
        case $token in
            '[' | ']') ;;
            -*)
                options+=" $token"
                local next=${tokens[i + 1]:-}
                if [[ -n $next && $next != -* && $next != '[' && $next != ']' ]]; then
                    takes[$token]=$next
                    ((i++))
                fi
                ;;
            *) positional+=("$token") ;;
        esac
    done

    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ -n ${takes[$prev]+set} ]]; then
        _korlc_placeholder "${takes[$prev]}" "$cur" "$help"
        return 0
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi

    # Which positional argument is being typed: options and their values do
    # not count; the last placeholder repeats when it ends in "...".
    local n=0 w
    for ((i = 2; i < COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        if [[ $w == -* ]]; then
            [[ -n ${takes[$w]+set} ]] && ((i++))
        else
            ((n++))
        fi
    done
    local count=${#positional[@]}
    ((count == 0)) && return 0
    if ((n >= count)); then
        [[ ${positional[count - 1]} == *... ]] || return 0
        n=$((count - 1))
    fi
    _korlc_placeholder "${positional[n]}" "$cur" "$help"
    return 0
}

complete -F _korlc korlc
