#!/usr/bin/env bash
# Usage: completion_test.sh COMPLETIONS_DIR bash|zsh
# Loads the completion script in a non-interactive shell and checks the
# candidates offered at each command line below, the cursor at its end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
completions=$(cd "$1" && pwd)
shell=$2

# name | command line | candidates, sorted
cases=(
    "commands|nimbro |admin down help ip join leave netcheck ping status version"
    "command prefix|nimbro st|status"
    "top-level help options|nimbro -|--help -h"
    "join options|nimbro join --|--control --delete-token --help --hostname --insecure-http --timeout --token-file"
    "join options at an empty word|nimbro join |--control --delete-token --help --hostname --insecure-http --timeout --token-file"
    "token file in the next word|nimbro join --token-file k|kdir key.txt"
    "token file after =|nimbro join --token-file=k|kdir key.txt"
    "token file with one dash|nimbro join -token-file k|kdir key.txt"
    "no candidates for the URL|nimbro join --control |"
    "options after a value|nimbro join --control https://c.example --t|--timeout --token-file"
    "a value that looks like an option|nimbro join --hostname --x --t|--timeout --token-file"
    "a switch takes no value|nimbro join --delete-token --i|--insecure-http"
    "a switch with =false takes no value|nimbro join --delete-token=false --i|--insecure-http"
    "nothing after a positional word|nimbro join x --|"
    "admin sub-commands|nimbro admin |help nodes revoke token"
    "admin options|nimbro admin --|--compose-file --help"
    "compose file in the next word|nimbro admin --compose-file c|compose.yml"
    "compose file after =|nimbro admin --compose-file=c|compose.yml"
    "sub-command after the compose file|nimbro admin --compose-file c.yml t|token"
    "sub-command after compose file=|nimbro admin --compose-file=c.yml |help nodes revoke token"
    "sub-command after --|nimbro admin -- |help nodes revoke token"
    "no options after --|nimbro admin -- --|"
    "token actions|nimbro admin token |create expire help list"
    "token action prefix|nimbro admin token e|expire"
    "token create options|nimbro admin token create --|--expiration --help --reusable"
    "token create after a switch|nimbro admin token create --reusable --e|--expiration"
    "no candidates for the expiration|nimbro admin token create --expiration |"
    "token expire options|nimbro admin token expire -|--help --id"
    "revoke options|nimbro admin revoke -|--help --id"
    "no candidates for the ID|nimbro admin revoke --id |"
    "nothing after the ID|nimbro admin revoke 7 |"
    "nodes takes nothing|nimbro admin nodes |"
    "token list takes nothing|nimbro admin token list |"
    "engine words are the engine's|nimbro status |"
    "unknown command|nimbro joinx --|"
)

# The candidates for LINE, sorted and joined by single spaces.
bash_candidates() {
    local line=$1 token piece
    local -a words=()
    read -ra tokens <<<"$line"
    # bash splits words at "=" and keeps the "=" as a word of its own.
    for token in "${tokens[@]}"; do
        while [[ $token == *=* ]]; do
            piece=${token%%=*}
            [[ -n $piece ]] && words+=("$piece")
            words+=("=")
            token=${token#*=}
        done
        [[ -n $token ]] && words+=("$token")
    done
    [[ $line == *" " ]] && words+=("")
    (
        source "$completions/nimbro.bash"
        COMP_WORDS=("${words[@]}")
        COMP_CWORD=$((${#words[@]} - 1))
        COMP_LINE=$line
        COMP_POINT=${#line}
        _nimbro nimbro "${words[-1]}" "${words[-2]}"
        printf '%s\n' "${COMPREPLY[@]}"
    ) | sed '/^$/d' | LC_ALL=C sort | paste -sd' ' -
}

zsh_candidates() {
    local line=$1
    local -a words
    read -ra words <<<"$line"
    [[ $line == *" " ]] && words+=("")
    zsh -f "$here/zsh_complete.zsh" "$completions" "${words[@]}" | LC_ALL=C sort | paste -sd' ' -
}

case $shell in
    bash) ;;
    zsh) command -v zsh >/dev/null || skip "zsh is not installed" ;;
    *) echo "usage: $0 COMPLETIONS_DIR bash|zsh" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch key.txt compose.yml other
mkdir kdir

for c in "${cases[@]}"; do
    IFS='|' read -r name line want <<<"$c"
    expect_eq "$shell: $name" "$want" "$("${shell}_candidates" "$line")"
done

if [[ $shell == zsh ]]; then
    # The real completion system must find the function for nimbro by its
    # #compdef line.
    registered=$(zsh -f -c 'fpath=("$1" $fpath); autoload -Uz compinit; compinit -u -d "$2"; print -r -- "$_comps[nimbro]"' zsh "$completions" "$work/zcompdump")
    expect_eq "zsh: compinit registers _nimbro for nimbro" "_nimbro" "$registered"
else
    registered=$(bash -c 'source "$1"; complete -p nimbro' bash "$completions/nimbro.bash")
    expect_eq "bash: complete registers _nimbro for nimbro" "complete -F _nimbro nimbro" "$registered"
fi

finish
