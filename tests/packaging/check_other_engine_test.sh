#!/usr/bin/env bash
# Usage: check_other_engine_test.sh SOURCE_DIR
# node/check-other-engine refuses to start nimbro's daemon beside another
# engine daemon only when starting would break that one, and never because
# of what a crashed nimbrod leaves behind. Runs as root in new network, mount
# and pid namespaces with private /run and /etc, so the "other daemons" here
# are stand-ins no one else sees.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source_dir=$1

if [[ -z ${NIMBRO_CHECK_INSIDE:-} ]]; then
    [[ $(id -u) == 0 ]] || skip "needs root for its namespaces"
    command -v unshare >/dev/null || skip "unshare is not installed"
    command -v python3 >/dev/null || skip "python3 is not installed (it stands in for a listening daemon)"
    exec env NIMBRO_CHECK_INSIDE=1 unshare --net --mount --pid --fork --mount-proc --propagation private \
        -- bash "$0" "$@"
fi

work=$(mktemp -d)
mount -t tmpfs nimbro-test-run /run
mkdir -p "$work/etc-upper" "$work/etc-work"
mount -t overlay nimbro-test-etc -o "lowerdir=/etc,upperdir=$work/etc-upper,workdir=$work/etc-work" /etc

# The check as installed, beside its own daemon; another installation's
# daemon elsewhere. Both daemons are copies of sleep, known by their paths.
mkdir -p "$work/libexec" "$work/other" "$work/run"
cp "$source_dir/node/check-other-engine" "$work/libexec/"
cp "$(command -v sleep)" "$work/libexec/tailscaled"
cp "$(command -v sleep)" "$work/other/tailscaled"
backup=/etc/resolv.pre-tailscale-backup.conf

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
    rm -rf /run/tailscale "$backup"
}
trap 'cleanup; umount /etc; rm -rf "$work"' EXIT

# Starts a process for one case; it is stopped by pid before the next.
start() {
    "$@" &
    pids+=($!)
}

listen_at() {
    mkdir -p "$(dirname "$1")"
    start python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(1)
open(sys.argv[2], "w").close(); time.sleep(60)' "$1" "$work/run/listening"
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -e $work/run/listening ]] && break
        sleep 0.1
    done
    rm -f "$work/run/listening"
}

stale_socket() {
    mkdir -p /run/tailscale
    python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' /run/tailscale/tailscaled.sock
}
leftover_backup() { echo 'nameserver 192.0.2.1' >"$backup"; }
# Starts PROGRAM... and waits until the process runs PATH, so that the check
# sees it by that name.
start_as() {
    local path=$1 i
    shift
    start "$@"
    for ((i = 0; i < 100; i++)); do
        [[ $(readlink "/proc/${pids[-1]}/exe") == "$path" ]] && return
        sleep 0.05
    done
    echo "FAIL $path did not start" >&2
    exit 1
}
other_daemon() { start_as "$work/other/tailscaled" "$work/other/tailscaled" 60; }
own_daemon() { start_as "$work/libexec/tailscaled" "$work/libexec/tailscaled" 60; }
# A daemon in a network namespace of its own (a container's) shares nothing.
other_daemon_elsewhere() { start_as "$work/other/tailscaled" unshare --net -- "$work/other/tailscaled" 60; }

# name | setup (words run in order) | --tun | want status | a line of its message
cases=(
    "alone, kernel interface||nimbro0|0|"
    "a crashed nimbrod's stale socket file and resolv.conf backup|stale_socket leftover_backup|nimbro0|0|"
    "nimbro's own daemon still running|own_daemon|nimbro0|0|"
    "a daemon listening on /run/tailscale|listen_at:/run/tailscale/tailscaled.sock|nimbro0|78|defina NIMBROD_TUN=userspace-networking"
    "a daemon listening on /var/run/tailscale|listen_at:/var/run/tailscale/tailscaled.sock|nimbro0|78|um daemon escutando em /var/run/tailscale/tailscaled.sock"
    "another installation's tailscaled|other_daemon|nimbro0|78|$work/other/tailscaled (pid"
    "a tailscaled in another network namespace|other_daemon_elsewhere|nimbro0|0|"
    "another daemon, userspace networking|listen_at:/run/tailscale/tailscaled.sock|userspace-networking|0|"
    "another daemon with its resolv.conf backup, userspace networking|listen_at:/run/tailscale/tailscaled.sock leftover_backup|userspace-networking|78|tailscale set --accept-dns=false"
)
for case in "${cases[@]}"; do
    IFS='|' read -r name setup tun want message <<<"$case"
    for step in $setup; do
        if [[ $step == listen_at:* ]]; then listen_at "${step#listen_at:}"; else "$step"; fi
    done
    status=0
    "$work/libexec/check-other-engine" "$tun" 2>"$work/stderr" || status=$?
    expect_eq "$name: status" "$want" "$status"
    if [[ -n $message ]]; then
        expect_true "$name: says \"$message\"" grep -qF -- "$message" "$work/stderr"
    else
        expect_eq "$name: says nothing" "" "$(cat "$work/stderr")"
    fi
    cleanup
done

finish
