#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR ENGINE
# cmake --install puts the tool, its manual page and its completions where a
# system under that prefix looks for them; with ENGINE ON also the engine,
# nimbrod.service naming the engine under that same prefix, and the daemon's
# settings example.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$1
engine=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL cmake --install"
    exit 1
fi
want="-rw-r--r-- share/bash-completion/completions/nimbro
-rw-r--r-- share/man/man1/nimbro.1.gz
-rw-r--r-- share/nimbro/cell/.env.example
-rw-r--r-- share/nimbro/cell/compose.yml
-rw-r--r-- share/nimbro/cell/config.yaml
-rwxr-xr-x share/nimbro/cell/backup
-rw-r--r-- share/zsh/site-functions/_nimbro
-rwxr-xr-x bin/nimbro"
if [[ $engine == ON ]]; then
    want+="
-rw-r--r-- lib/systemd/system/nimbrod.service
-rw-r--r-- share/nimbro/nimbrod.default
-rwxr-xr-x libexec/nimbro/check-other-engine
-rwxr-xr-x libexec/nimbro/tailscaled"
fi
expect_eq "installed files and their modes" "$(LC_ALL=C sort <<<"$want")" \
    "$(cd "$prefix" && find . -type f -printf '%M %P\n' | LC_ALL=C sort)"
expect_eq "the installed tool runs" "$("$build/nimbro" help)" "$("$prefix/bin/nimbro" help)"
expect_true "the installed manual page is readable" \
    bash -c "gzip -dc '$prefix/share/man/man1/nimbro.1.gz' | grep -q '^\.TH NIMBRO 1 '"

if [[ $engine == ON ]]; then
    expect_eq "the client is a link to the daemon" "tailscaled" "$(readlink "$prefix/libexec/nimbro/tailscale")"
    expect_eq "the client's version" "$(sed -n 's/^[[:space:]]*tailscale\.com v\([0-9.]*\).*/\1/p' "$here/../../engine/go.mod")" \
        "$("$prefix/libexec/nimbro/tailscale" version | head -n 1)"
    unit=$prefix/lib/systemd/system/nimbrod.service
    expect_eq "the unit's programs are under the prefix" \
        "ExecStartPre=$prefix/libexec/nimbro/check-other-engine
ExecStart=$prefix/libexec/nimbro/tailscaled" \
        "$(sed -n 's/^\(Exec[A-Za-z]*=[^ ]*\).*/\1/p' "$unit")"
    expect_true "the unit points at the settings example" grep -qF "$prefix/share/nimbro" "$unit"
fi

finish
