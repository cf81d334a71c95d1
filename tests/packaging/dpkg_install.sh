#!/usr/bin/env bash
# Usage: dpkg_install.sh BUILD_DIR
# Installs the Debian package built from BUILD_DIR with dpkg, uses the tool,
# its manual page and its completions from the system's own places, then
# removes the package and checks that nothing of it is left. It changes the
# machine: run it as root on a machine meant for it, as CI does.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$(cd "$1" && pwd)

if ((EUID != 0)); then
    echo "dpkg_install.sh installs a package: run it as root" >&2
    exit 2
fi
if [[ $(dpkg-query -W -f='${db:Status-Status}' nimbro 2>/dev/null || true) == installed ]]; then
    echo "the nimbro package is already installed; not touching it" >&2
    exit 2
fi

work=$(mktemp -d)
installed=0
cleanup() {
    ((installed)) && dpkg -r nimbro >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/nimbro_*.deb)
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}')

dpkg -i "$deb"
installed=1
expect_eq "dpkg reports the package installed" "installed" \
    "$(dpkg-query -W -f='${db:Status-Status}' nimbro)"
expect_eq "installed files match the package's checksums" "" "$(dpkg --verify nimbro 2>&1)"
expect_eq "nimbro is found on PATH" "/usr/bin/nimbro" "$(command -v nimbro)"
expect_eq "nimbro help from PATH" "$("$build/nimbro" help)" "$(cd / && nimbro help)"
if grep -qs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    echo "skip the manual page checks: dpkg is set to leave manual pages out"
elif command -v man >/dev/null; then
    expect_eq "man finds the page" "/usr/share/man/man1/nimbro.1.gz" "$(man -w nimbro)"
    expect_true "man renders the page" bash -c 'MANWIDTH=80 man nimbro 2>/dev/null | grep -q "^SINOPSE"'
fi
expect_eq "bash loads the completion from its place" "complete -F _nimbro nimbro" \
    "$(bash -c 'source /usr/share/bash-completion/completions/nimbro; complete -p nimbro')"
if command -v zsh >/dev/null; then
    # zsh's own fpath, untouched: the package must put the function on it.
    expect_eq "zsh finds the completion on its default fpath" "_nimbro" \
        "$(zsh -f -c 'autoload -Uz compinit; compinit -u -d "$1"; print -r -- "$_comps[nimbro]"' zsh "$work/zcompdump")"
fi

dpkg -r nimbro
installed=0
expect_eq "dpkg reports the package gone" "not-installed" \
    "$(dpkg-query -W -f='${db:Status-Status}' nimbro 2>/dev/null || echo not-installed)"
expect_eq "nimbro is gone from PATH" "" "$(command -v nimbro || true)"
left=""
for f in $files; do
    [[ -e $f ]] && left+="$f "
done
expect_eq "no file of the package is left" "" "$left"

finish
