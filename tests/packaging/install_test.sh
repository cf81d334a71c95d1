#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR
# cmake --install puts the tool, its manual page and its completions where a
# system under that prefix looks for them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL cmake --install"
    exit 1
fi
expect_eq "installed files and their modes" \
    "-rw-r--r-- share/bash-completion/completions/nimbro
-rw-r--r-- share/man/man1/nimbro.1.gz
-rw-r--r-- share/nimbro/cell/.env.example
-rw-r--r-- share/nimbro/cell/compose.yml
-rw-r--r-- share/nimbro/cell/config.yaml
-rw-r--r-- share/zsh/site-functions/_nimbro
-rwxr-xr-x bin/nimbro" \
    "$(cd "$work/prefix" && find . -type f -printf '%M %P\n' | LC_ALL=C sort)"
expect_eq "the installed tool runs" "$("$build/nimbro" help)" "$("$work/prefix/bin/nimbro" help)"
expect_true "the installed manual page is readable" \
    bash -c "gzip -dc '$work/prefix/share/man/man1/nimbro.1.gz' | grep -q '^\.TH NIMBRO 1 '"

finish
