# bash completion for quarlow-cli: its options, the names of the LAME option sets (the
# program lists them, custom ones too), folders for the folder options, and FLAC, APE and WAV
# files and folders for the paths to convert.

_quarlow_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --save-to | --lame-dir | --flac-dir | --ape-dir)
            _filedir -d
            return
            ;;
        --preset)
            local name typed
            typed=$(dequote "$cur")
            COMPREPLY=()
            while IFS= read -r name; do
                [[ $name == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
            done < <("$1" --list-presets 2>/dev/null)
            return
            ;;
        --jobs)
            COMPREPLY=($(compgen -W "$(seq "$(nproc 2>/dev/null || echo 1)")" -- "$cur"))
            return
            ;;
        --help | --version | --list-presets)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--save-to --save-to-source --verify --preset --lame-dir
            --flac-dir --ape-dir --jobs --list-presets --help --version' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir '@(flac|ape|wav)'
} &&
    complete -F _quarlow_cli quarlow-cli
