#!/usr/bin/env bash
# Usage: engine_prefix_test.sh SOURCE_DIR
# Configuring with the engine fails where nimbro would not find it (it looks
# in /usr/local/libexec/nimbro), and says why; the default prefix passes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source_dir=$1

command -v go >/dev/null || skip "go is not installed (the engine's build needs it)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name | extra cmake arguments | want status | a line of the message
cases=(
    "the default prefix||0|"
    "prefix /usr|-DCMAKE_INSTALL_PREFIX=/usr|1|nimbro looks for it in /usr/local/libexec/nimbro"
    "another libexec directory|-DCMAKE_INSTALL_LIBEXECDIR=lib|1|would install the engine in /usr/local/lib/nimbro"
)
for case in "${cases[@]}"; do
    IFS='|' read -r name args want message <<<"$case"
    rm -rf "$work/build"
    status=0
    # shellcheck disable=SC2086 # no argument or one
    cmake -S "$source_dir" -B "$work/build" -DNIMBRO_ENGINE=ON -DNIMBRO_TESTS=OFF $args \
        >"$work/log" 2>&1 || status=$?
    expect_eq "$name: configure status" "$want" "$status"
    if [[ -n $message ]]; then
        expect_true "$name: says \"$message\"" grep -qF -- "$message" <(tr -s ' \n' ' ' <"$work/log")
    fi
done

finish
