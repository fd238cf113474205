# bash completion for sonvault-cli. The commands and each command's options are read from the
# tool's own --help, so that the two never drift apart; file and folder names everywhere else.

# The command's options that take a value.
_sonvault_cli_valued='--work --effects --songs --audio --format --voice --rate --soundfont --loops --fade --jobs --offset --limit --entry'

_sonvault_cli() {
    local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local i cmd="" position=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        local word=${COMP_WORDS[i]}
        if [[ $word == -* ]]; then
            continue
        fi
        if ((i > 1)) && [[ " $_sonvault_cli_valued " == *" ${COMP_WORDS[i - 1]} "* ]]; then
            continue
        fi
        if [[ -z $cmd ]]; then
            cmd=$word
        else
            ((position++))
        fi
    done

    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            local commands
            commands=$("$tool" --help 2>/dev/null |
                sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    case $prev in
    --format)
        COMPREPLY=($(compgen -W 'flac ogg wav' -- "$cur"))
        return
        ;;
    --voice)
        COMPREPLY=($(compgen -W 'soundfont fm' -- "$cur"))
        return
        ;;
    --rate | --loops | --fade | --jobs | --offset | --limit | --entry)
        return
        ;;
    --work | --effects | --songs | --audio)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        local options
        options=$("$tool" "$cmd" --help 2>/dev/null | grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if [[ $cmd == extract ]] && ((position == 1)); then
        COMPREPLY=($(compgen -W 'song effect' -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}

complete -F _sonvault_cli sonvault-cli
