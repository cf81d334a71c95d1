# bash completion for nimbro                                -*- shell-script -*-
#
# Self-contained: works with or without the bash-completion package. The
# words are read with the tool's own option grammar: one or two dashes, the
# value after "=" or in the next word, options only before the first word that
# is not an option, and "--" ending them.

_nimbro_commands="join status ip ping down leave netcheck version admin help"

# Rebuilds the command line with "--option=value" as one word: bash splits
# words at "=" (COMP_WORDBREAKS), the tool does not. Sets _nimbro_words and
# _nimbro_cword in the caller's scope.
_nimbro_join_words() {
    local i word joining=0
    _nimbro_words=()
    _nimbro_cword=0
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        word=${COMP_WORDS[i]}
        if ((joining)); then
            _nimbro_words[-1]+=$word
            joining=0
        elif [[ $word == "=" && ${#_nimbro_words[@]} -gt 1 &&
            ${_nimbro_words[-1]} == -* && ${_nimbro_words[-1]} != *=* ]]; then
            _nimbro_words[-1]+="="
            joining=1
        else
            _nimbro_words+=("$word")
        fi
        ((i == COMP_CWORD)) && _nimbro_cword=$((${#_nimbro_words[@]} - 1))
    done
}

# Walks the words from index $1 as options whose names, in "$2", take a value.
# Sets _nimbro_first to the index of the first positional word (the cursor's
# index when the cursor is still among the options, one more when the cursor
# stands on an option's value) and _nimbro_ended to 1 when "--" was seen.
_nimbro_scan_options() {
    local i=$1 word name
    _nimbro_ended=0
    while ((i < _nimbro_cword)); do
        word=${_nimbro_words[i]}
        if [[ $word == -- ]]; then
            _nimbro_ended=1
            _nimbro_first=$((i + 1))
            return
        fi
        if [[ -z $word || $word == - || $word != -* ]]; then
            _nimbro_first=$i
            return
        fi
        name=${word#-}
        name=${name#-}
        [[ " $2 " == *" --$name "* ]] && ((i++))
        ((i++))
    done
    _nimbro_first=$i
}

_nimbro_reply_words() { # $1: candidates, $2: the word being completed
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

_nimbro_reply_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

# The value of option $1 (one or two dashes), being typed as $2.
_nimbro_reply_value() {
    case ${1#-} in
        -token-file | token-file | -compose-file | compose-file)
            _nimbro_reply_files "$2"
            ;;
        *) COMPREPLY=() ;;
    esac
}

# Completes the options zone that starts at index $1: option names from "$2"
# (those taking a value) and "$3" (switches), their values, and, at the first
# positional word, the words in "$4" (the options when there are none to
# offer). Returns 1 once the cursor is past the first positional word, leaving
# its index in _nimbro_first.
_nimbro_complete_options() {
    local cur=${_nimbro_words[_nimbro_cword]}
    _nimbro_scan_options "$1" "$2"
    if ((_nimbro_first > _nimbro_cword)); then
        _nimbro_reply_value "${_nimbro_words[_nimbro_cword - 1]}" "$cur"
    elif ((_nimbro_first < _nimbro_cword)); then
        return 1
    elif [[ $cur == -*=* && $_nimbro_ended == 0 ]]; then
        _nimbro_reply_value "${cur%%=*}" "${cur#*=}"
    elif [[ $_nimbro_ended == 0 && ($cur == -* || -z $4) ]]; then
        _nimbro_reply_words "$2 $3 --help" "$cur"
    else
        _nimbro_reply_words "$4" "$cur"
    fi
    return 0
}

_nimbro_admin() {
    local sub action
    _nimbro_complete_options 2 "--compose-file" "" "token nodes revoke help" && return
    sub=${_nimbro_words[_nimbro_first]}
    case $sub in
        token)
            if ((_nimbro_cword == _nimbro_first + 1)); then
                _nimbro_reply_words "create list expire help" "${_nimbro_words[_nimbro_cword]}"
                return
            fi
            action=${_nimbro_words[_nimbro_first + 1]}
            case $action in
                create) _nimbro_complete_options $((_nimbro_first + 2)) "--expiration" "--reusable" "" ;;
                expire) _nimbro_complete_options $((_nimbro_first + 2)) "--id" "" "" ;;
            esac
            ;;
        revoke) _nimbro_complete_options $((_nimbro_first + 1)) "--id" "" "" ;;
    esac
}

_nimbro() {
    local -a _nimbro_words
    local _nimbro_cword _nimbro_first _nimbro_ended
    COMPREPLY=()
    _nimbro_join_words
    local cur=${_nimbro_words[_nimbro_cword]}

    if ((_nimbro_cword == 1)); then
        if [[ $cur == -* ]]; then
            _nimbro_reply_words "-h --help" "$cur"
        else
            _nimbro_reply_words "$_nimbro_commands" "$cur"
        fi
        return
    fi

    case ${_nimbro_words[1]} in
        join)
            _nimbro_complete_options 2 "--control --token-file --hostname --timeout" \
                "--delete-token --insecure-http" ""
            ;;
        admin) _nimbro_admin ;;
    esac
    # The engine's own words after status, ip, ping, down, leave and netcheck
    # are the engine's business: nothing is offered for them.
    return 0
}

complete -F _nimbro nimbro
