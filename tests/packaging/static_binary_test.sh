#!/usr/bin/env bash
# Usage: static_binary_test.sh NIMBRO
# The binary needs no dynamic loader and no shared library, runs, and ends
# a failure of the C++ library with a line of its own.
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

# Eight arguments of 120 kB are copied at start; under an address-space limit
# a little above what the start itself needs, that copy fails. Which limit
# does so depends on the build, so limits are tried from above until the
# tool no longer gets as far as starting the engine.
if command -v prlimit >/dev/null; then
    word=$(head -c 120000 /dev/zero | tr '\0' a)
    words=("$word" "$word" "$word" "$word" "$word" "$word" "$word" "$word")
    err="" status=0
    for kib in $(seq 4096 -64 1024); do
        set +e
        err=$(NIMBRO_TAILSCALE_BIN=/bin/true prlimit --as=$((kib * 1024)) \
            "$nimbro" status "${words[@]}" 2>&1 >/dev/null)
        status=$?
        set -e
        case $err in *"erro interno"* | *terminate*) break ;; esac
    done
    expect_eq "a failed allocation ends in one line of the tool's own" \
        "nimbro: erro interno: std::bad_alloc" "$err"
    expect_eq "and in SIGABRT" "134" "$status"
fi

finish
