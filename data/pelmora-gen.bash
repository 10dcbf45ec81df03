# bash completion for pelmora-gen: its options, and the distribution names
# as `pelmora-gen --list` prints them (asked at completion time, so the list
# follows the installed program; only the names column of the lines that
# start with a row number is read, so more columns do no harm).

_pelmora_gen_names() {
    "$1" --list 2>/dev/null | awk '
        $1 ~ /^[0-9]+$/ {
            n = split($0, col, /  +/)
            names = (col[1] == "") ? col[4] : col[3]
            k = split(names, name, /, */)
            for (i = 1; i <= k; i++) if (name[i] != "") print name[i]
        }'
}

_pelmora_gen_options() {
    local opts
    opts=$("$1" --help 2>/dev/null | grep -oE '(^|[[:space:]])--?[a-z][a-z-]*' | tr -d ' \t' | sort -u)
    echo "${opts:---seed -n -o -j --threads --shard --stats --hist --bins --range --npy --list --help --version}"
}

_pelmora_gen() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} prog=${COMP_WORDS[0]}
    COMPREPLY=()
    case $prev in
        -o | --output)
            # As file names: a folder gets its slash and no blank after it.
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return ;;
        -n | --count | --seed | --precision | --columns | --threads | -j | --shard)
            return ;;
        # the uniform source and the start of the run
        --source)
            mapfile -t COMPREPLY < <(compgen -W "lcg philox" -- "$cur")
            return ;;
        --start | --bins | --range)
            return ;;
    esac
    # The second value of --range LO HI.
    if ((COMP_CWORD >= 3)) && [[ ${COMP_WORDS[COMP_CWORD-2]} == --range ]]; then
        return
    fi

    # Has a distribution been named already? Words after -n, -o and --seed
    # are their values; words after -- are never options.
    local i word named=0 ended=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((ended == 0)); then
            case $word in
                --) ended=1; continue ;;
                -n | -o | --count | --output | --seed | --precision | --columns | -j | --threads | --shard) ((i++)); continue ;;
                --bins) ((i++)); continue ;;
                --range) ((i += 2)); continue ;;
                --source | --start) ((i++)); continue ;;
                -[!0-9.\ ]*) continue ;;
            esac
        fi
        named=1
        break
    done

    if [[ $cur == -* && $ended == 0 && $named == 0 ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_pelmora_gen_options "$prog")" -- "$cur")
    elif ((named == 0)); then
        mapfile -t COMPREPLY < <(compgen -W "$(_pelmora_gen_names "$prog")" -- "$cur")
    fi
}
complete -F _pelmora_gen pelmora-gen
