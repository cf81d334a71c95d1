#!/usr/bin/env bash
# Usage: unit_test.sh SOURCE_DIR [ENGINE_DIR]
# systemd-analyze verify passes on nimbrod.service and nimbro-join.service
# with the programs they name in place: the built engine from ENGINE_DIR,
# else stand-ins.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source_dir=$1
engine_dir=${2:-}

command -v systemd-analyze >/dev/null || skip "systemd-analyze is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libexec=$work/libexec/nimbro
mkdir -p "$libexec" "$work/bin" "$work/man/man1"
cp "$source_dir/node/check-other-engine" "$source_dir/node/join-at-boot" "$libexec/"
printf '#!/bin/sh\n' >"$work/bin/nimbro"
chmod 755 "$work/bin/nimbro"
if [[ -n $engine_dir ]]; then
    cp "$engine_dir/tailscaled" "$libexec/"
else
    printf '#!/bin/sh\n' >"$libexec/tailscaled"
    chmod 755 "$libexec/tailscaled"
fi
# The unit's Documentation= is checked against the manual page.
cp "$source_dir/man/nimbro.1" "$work/man/man1/"
for unit in nimbrod nimbro-join; do
    sed -e "s|@NIMBRO_ENGINE_LIBEXEC@|$libexec|g" -e "s|@NIMBRO_DOC_DIR@|$work/doc|g" \
        -e "s|@NIMBRO_BIN_DIR@|$work/bin|g" \
        "$source_dir/node/$unit.service.in" >"$work/$unit.service"
    expect_true "no placeholder left in $unit.service" bash -c "! grep -q '@[A-Z_]*@' '$work/$unit.service'"
done
# verify reports unknown keys and bad values but still exits 0: it must
# have nothing to say.
status=0
MANPATH="$work/man" systemd-analyze verify "$work/nimbrod.service" "$work/nimbro-join.service" \
    >"$work/verify.log" 2>&1 || status=$?
expect_eq "systemd-analyze verify: status" 0 "$status"
expect_eq "systemd-analyze verify: says nothing" "" "$(cat "$work/verify.log")"
finish
