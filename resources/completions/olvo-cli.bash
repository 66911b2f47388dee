# bash completion for olvo-cli

_olvo_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="split restore verify checksum config"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            split | restore | verify | checksum | config)
                command=${words[i]}
                break
                ;;
        esac
    done

    case "$prev" in
        -d | --destination | --split-to | --restore-to)
            _filedir -d
            return
            ;;
        -s | --size | -n | --count | --sizes)
            return
            ;;
    esac

    local options
    case "$command" in
        "")
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            fi
            return
            ;;
        split) options="--size --count --destination --no-hash --overwrite --quiet --help" ;;
        restore) options="--destination --delete-pieces --restore-time --overwrite --quiet --help" ;;
        verify) options="--quiet --help" ;;
        checksum) options="--help" ;;
        config) options="--split-to --no-split-to --restore-to --no-restore-to --sizes --help" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case "$command" in
        restore | verify) _filedir split ;;
        split | checksum) _filedir ;;
    esac
} &&
    complete -F _olvo_cli olvo-cli
