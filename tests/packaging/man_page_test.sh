#!/usr/bin/env bash
# Usage: man_page_test.sh MAN_PAGE NIMBRO VERSION COMPLETIONS_DIR
# The manual page renders without a single warning, names the tool for
# whatis, carries the tool's version, and documents every command, sub-command
# and option that the tool's own usage texts show; the completion scripts
# offer each of them too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
page=$1
nimbro=$2
version=$3
completions=$4

command -v groff >/dev/null || skip "groff is not installed (Debian package groff-base)"

warnings=$(groff -k -man -ww -z "$page" 2>&1) || warnings+=" (groff failed)"
expect_eq "groff -man -ww renders without warnings" "" "$warnings"
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || warnings+=" (man failed)"
    expect_eq "man --warnings renders without warnings" "" "$warnings"
fi
if command -v lexgrog >/dev/null; then
    expect_eq "whatis entry" \
        "$page: \"nimbro - entra numa rede overlay privada e administra o servidor de controle da célula\"" \
        "$(lexgrog "$page" 2>&1)"
fi
expect_eq "version in the title line" "nimbro $version" \
    "$(sed -n 's/^\.TH NIMBRO 1 [^ ]* "\([^"]*\)".*/\1/p' "$page")"

# The page as a reader sees it, one long line per paragraph, with whatever
# dash character the output device chose turned back into "-".
rendered=$(groff -k -man -Tutf8 -rLL=500n -P-cbou "$page" 2>/dev/null |
    sed 's/\xe2\x88\x92/-/g; s/\xe2\x80\x90/-/g')

# Commands and options as the tool itself lists them.
words=()
while read -r word _; do words+=("$word"); done < <(
    "$nimbro" help | sed -n '/^Comandos:/,/^$/p' | sed -n 's/^  \([a-z]*\) .*/\1/p')
while read -r word; do words+=("$word"); done < <(
    { "$nimbro" join --help; "$nimbro" admin --help; "$nimbro" admin token create --help; } |
        grep -o -- '--[a-z][a-z-]*' | sort -u)
while read -r word; do words+=("$word"); done < <(
    "$nimbro" admin --help | sed -n '/^Comandos:/,$p' | sed -n 's/^  \([a-z]*\)\( \([a-z]*\)\)\{0,1\}.*/\1 \3/p' |
        tr ' ' '\n' | sed '/^$/d' | sort -u)
# The ID option appears in no usage text but is accepted by both ID readers.
words+=(--id)

expect_true "the usage texts list commands and options" test "${#words[@]}" -gt 20
for word in "${words[@]}"; do
    pattern="(^|[^-[:alnum:]])${word}([^-[:alnum:]]|\$)"
    expect_true "the manual page documents $word" grep -qE -- "$pattern" <<<"$rendered"
    expect_true "the bash completion offers $word" grep -qE -- "$pattern" "$completions/nimbro.bash"
    expect_true "the zsh completion offers $word" grep -qE -- "$pattern" "$completions/_nimbro"
done

finish
