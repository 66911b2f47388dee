# bash completion for olvo-cli

_olvo_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="split restore verify repair checksum config"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            split | restore | verify | repair | checksum | config)
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
        -s | --size)
            # The spellings a size takes: K M G T count in 1024s, KB MB GB TB in 1000s.
            COMPREPLY=($(compgen -W "1420 700M 2G 4G 4GB 4T 25MB 100MiB" -- "$cur"))
            return
            ;;
        -n | --count | --sizes | --recovery | --name)
            return
            ;;
        -o | --output)
            _filedir
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
        split) options="--size --count --destination --name --no-hash --recovery --overwrite --quiet --help" ;;
        restore) options="--destination --output --delete-pieces --restore-time --overwrite --quiet --help" ;;
        verify | repair) options="--quiet --help" ;;
        checksum) options="--help" ;;
        config) options="--split-to --no-split-to --restore-to --no-restore-to --sizes --help" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case "$command" in
        restore | verify | repair) _filedir split ;;
        split | checksum) _filedir ;;
    esac
} &&
    complete -F _olvo_cli olvo-cli
