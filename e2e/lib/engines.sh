# Shared by the sandbox scenarios: plain engine daemons, tailscaled started
# directly (no unit) in userspace networking, each in network and mount
# namespaces of its own, joined to the scenario's namespace by a veth link.
# Node I has 10.215.I.2 on its end of the link and a default route through
# 10.215.I.1 on the scenario's end; the scenario's namespace forwards between
# the links, so nodes reach each other directly, and reach what the
# scenario's namespace publishes (a cell, an ACME server) at
# ENGINES_HOST_ADDR. A scenario sources this file after run.sh, sets `work`,
# and calls start_engines before it starts them.

# shellcheck source=e2e/lib/engine.sh
source "${BASH_SOURCE[0]%/*}/engine.sh"

readonly ENGINES_HOST_ADDR=10.215.0.1
# Per node: the daemon's pid, its socket, its address on the link.
declare -gA engine_pid=() engine_socket=() engine_addr=()

# start_engines: the scenario's end of the links: ENGINES_HOST_ADDR on the
# loopback, forwarding between the links (Docker's FORWARD policy drops what
# it does not know).
start_engines() {
  ip addr add "$ENGINES_HOST_ADDR/32" dev lo &&
    sysctl -qw net.ipv4.ip_forward=1 &&
    iptables -I FORWARD 1 -i 'eng+' -o 'eng+' -j ACCEPT ||
    fail "could not set up the engines' host end"
}

# start_engine NAME INDEX ENGINE [VAR=value...]: starts the daemon ENGINE
# (tailscaled) for node NAME with link number INDEX (1 to 250), in
# $work/engines/NAME, with the environment VAR=value... (SSL_CERT_FILE for
# the authorities it trusts). Its holder process enters the new namespaces,
# says so through one FIFO, waits on another while the link is set up, then
# becomes the daemon (same pid), on UDP port 41641 of its own namespace.
start_engine() {
  local name=$1 index=$2 engine=$3
  shift 3
  local dir=$work/engines/$name
  mkdir -p "$dir/state"
  mkfifo -m 600 "$dir/ready" "$dir/go"
  local ready
  exec {ready}<>"$dir/ready"
  set_engine_command "$engine" "$dir/tailscaled.sock" "$dir/state" 41641 userspace-networking "$@"
  # shellcheck disable=SC2016 # the holder's script expands its own arguments
  unshare --net --mount --propagation private -- bash -c '
    exec 4<>"$2"
    echo ready >"$1"
    read -r -t 120 _ <&4 || exit 1
    exec 4<&-
    shift 2
    exec "$@"' holder "$dir/ready" "$dir/go" "${engine_command[@]}" >"$dir/tailscaled.log" 2>&1 &
  local pid=$!
  daemons+=("$pid")
  engine_pid[$name]=$pid
  engine_socket[$name]=$dir/tailscaled.sock
  engine_addr[$name]=10.215.$index.2
  read -r -t 30 -u "$ready" _ || fail "the namespace of $name did not come up"
  exec {ready}<&-

  ip link add "eng$index" type veth peer name eng0 netns "$pid" &&
    ip addr add "10.215.$index.1/24" dev "eng$index" &&
    ip link set "eng$index" up &&
    nsenter --target "$pid" --net -- sh -c "
      ip link set lo up &&
      ip addr add 10.215.$index.2/24 dev eng0 &&
      ip link set eng0 up &&
      ip route add default via 10.215.$index.1" ||
    fail "could not link $name"
  echo go >"$dir/go"
  wait_until "the engine daemon of $name" 60 socket_ready "$pid" "$dir/tailscaled.sock" "the engine daemon of $name"
}

# start_engines_named PREFIX COUNT ENGINE [VAR=value...]: COUNT daemons,
# PREFIX1 to PREFIXCOUNT, links 1 to COUNT.
start_engines_named() {
  local prefix=$1 count=$2 engine=$3 i
  shift 3
  for ((i = 1; i <= count; i++)); do
    start_engine "$prefix$i" "$i" "$engine" "$@"
  done
}
