# bash completion for mervale-batch: its options, the values some of them take (profile names
# from the program folder and the user profile folder), and .mvl configuration files.
# Every option of mervale-batch --help is listed here: the test BatchOptionsDocumented checks it.

# The profile names mervale-batch would find, one a line: the program folder's (*.pfl in any
# letter case) and the user profile folder's (*.pfl). $1 is the program as typed.
_mervale_batch_profiles()
{
    local program=$1 exe folder user file base
    if [[ -n ${MERVALE_HOME-} ]]; then
        folder=$MERVALE_HOME
    else
        [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
        if [[ $program == */* ]]; then
            exe=$program
        else
            exe=$(type -P -- "$program") || return
        fi
        exe=$(readlink -f -- "$exe") || return
        folder=${exe%/*}
        # Installed, the program folder is PREFIX/share/mervale beside PREFIX/bin.
        if [[ ${folder##*/} == bin && -d ${folder%/*}/share/mervale ]]; then
            folder=${folder%/*}/share/mervale
        fi
    fi
    user=${XDG_DATA_HOME:-${HOME:-.}/.local/share}/Quillfen/Mervale/profiles
    local nullglob
    nullglob=$(shopt -p nullglob)
    shopt -s nullglob
    for file in "$folder"/*.[pP][fF][lL] "$user"/*.pfl; do
        base=${file##*/}
        [[ -d $file ]] || printf '%s\n' "${base%.*}"
    done
    eval "$nullglob"
}

_mervale_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --output | --sql-file)
            _filedir
            return
            ;;
        --csv-dir | --output-dir)
            _filedir -d
            return
            ;;
        --save-config)
            _filedir mvl
            return
            ;;
        --profile)
            local name
            COMPREPLY=()
            while IFS= read -r name; do
                [[ $name == "$cur"* ]] && COMPREPLY+=("$name")
            done < <(_mervale_batch_profiles "${words[0]}" | sort -u)
            # Names may hold blanks: quote them as file names are quoted.
            compopt -o filenames
            return
            ;;
        --progress)
            COMPREPLY=($(compgen -W 'line json none' -- "$cur"))
            return
            ;;
        --data-case | --name-case)
            COMPREPLY=($(compgen -W 'upper lower asis' -- "$cur"))
            return
            ;;
        --connect | --owner | --sql | --table | --exclude-table | --where | --rows-per-insert)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '
            --output --free-form --sql --sql-file --library-list --save-config --version --help
            --connect --owner --catalog --schema --profile
            --structure --no-structure --data --no-data --indexes --no-indexes
            --remarks --no-remarks --drop --no-drop --delete --no-delete
            --constraints --no-constraints
            --table --exclude-table --where --csv --no-csv
            --data-case --name-case --rows-per-insert --csv-dir --output-dir
            --diff-friendly --line-feeds --no-line-feeds --trim-line-ends --no-trim-line-ends
            --order-rows --no-order-rows --no-elapsed-time --elapsed-time --inserts --copy
            --progress --count-rows' -- "$cur"))
        return
    fi
    _filedir mvl
} &&
    complete -F _mervale_batch mervale-batch
