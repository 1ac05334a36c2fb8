# bash completion for norvaxctl(1).
# A command is a word of "commands" below and, when it takes options or arguments, a
# branch of the case; an option that takes a value is listed in "valued".

# Lines of output as completions, quoted for the shell: a name may hold blanks or quotes.
_norvaxctl_lines() {
    local IFS=$'\n' line
    COMPREPLY=()
    for line in $(compgen -W "$1" -- "$cur"); do
        COMPREPLY+=("$(printf '%q' "$line")")
    done
}

_norvaxctl() {
    local cur prev words cword
    _init_completion || return

    local commands="check-settings scramble unscramble day equinox holidays logline totals
        log connections entry type windows grant-typing help --help -h"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    local options="" valued=""
    case ${words[1]} in
        check-settings | totals)
            ((cword == 2)) && _filedir
            return
            ;;
        connections)
            ((cword == 2)) && _filedir -d
            return
            ;;
        logline)
            valued="--profile --entry --start --end --attempts --state-date --state-seconds"
            options=$valued
            ;;
        log)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "show move guard" -- "$cur"))
                return
            fi
            [[ ${words[2]} == guard ]] && ((cword == 3)) && return # the process id
            [[ ${words[2]} == move ]] && valued="--before" options="--before --yes"
            ;;
        entry)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "list add remove" -- "$cur"))
                return
            fi
            case ${words[2]} in
                add)
                    valued="--title --id --browser --connection --set1 --set2 --workdir"
                    valued+=" --proxy --no-proxy-for"
                    options="$valued --password-stdin --empty-password --own-dialler --maximise
                        --set-pass --proxy-off --netscape --lock-password-stdin"
                    ;;
                remove)
                    if ((cword == 3)) && [[ $cur != -* ]]; then
                        _norvaxctl_lines "$(norvaxctl entry list 2>/dev/null | cut -f1)"
                        return
                    fi
                    options="--lock-password-stdin"
                    ;;
            esac
            ;;
        type)
            valued="--caption --class"
            options="$valued --stdin"
            ;;
        grant-typing)
            options="--remove"
            ;;
        *)
            return
            ;;
    esac

    # The value of an option.
    if [[ " $valued " == *" $prev "* ]]; then
        case $prev in
            --workdir) _filedir -d ;;
            --browser) COMPREPLY=($(compgen -c -- "$cur")) ;;
            --connection) _norvaxctl_lines "$(norvaxctl connections 2>/dev/null)" ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ ${words[1]} == log || ${words[1]} == entry ]]; then
        _filedir -d # the program directory
    fi
} &&
    complete -F _norvaxctl norvaxctl
