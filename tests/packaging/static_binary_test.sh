#!/usr/bin/env bash
# Usage: static_binary_test.sh NIMBRO
# The binary needs no dynamic loader and no shared library, and runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
nimbro=$1

command -v file >/dev/null || skip "file is not installed"
description=$(file -bL "$nimbro")
expect_true "file says statically linked ($description)" grep -q 'statically linked' <<<"$description"
# ldd fails on a static binary; its message is what counts.
expect_eq "ldd finds nothing to load" "not a dynamic executable" \
    "$(ldd "$nimbro" 2>&1 | sed 's/^[[:space:]]*//')"
if command -v readelf >/dev/null; then
    expect_eq "no program interpreter" "" "$(readelf -lW "$nimbro" | grep -i 'interp' || true)"
    expect_eq "no needed libraries" "" "$(readelf -dW "$nimbro" | grep NEEDED || true)"
fi
# Run with an empty environment: nothing is looked up at start-up.
expect_eq "runs without any environment" "Uso: nimbro <comando> [opções]" \
    "$(env -i "$nimbro" help | head -n 1)"

finish
