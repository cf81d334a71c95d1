# Shared by the sandbox scenarios: a plain engine daemon, started straight
# from a staged tailscaled with the flags that set it apart from any other
# daemon on the machine. A scenario sources this file after run.sh, inside
# the namespaces it made: the daemon's network is the caller's.

# set_engine_command DAEMON SOCKET STATEDIR PORT TUN [VAR=value...]: puts into
# engine_command the command line of the tailscaled at DAEMON with its own
# LocalAPI SOCKET, state directory STATEDIR, UDP PORT and TUN (an interface
# name, or userspace-networking), in the environment VAR=value... Its logs
# stay on this machine, in STATEDIR: left to itself it would upload them, and
# keep them in /var/lib/tailscale, which is the host's here.
set_engine_command() {
  local daemon=$1 socket=$2 statedir=$3 port=$4 tun=$5
  shift 5
  engine_command=(env TS_LOGS_DIR="$statedir" "$@" "$daemon" --socket="$socket"
    --statedir="$statedir" --tun="$tun" --port="$port" --no-logs-no-support)
}

# What set_engine_command made last.
engine_command=()
# The pid of the daemon start_plain_engine started last.
plain_engine_pid=""
# One "PID SOCKET NAME" line for each daemon not yet waited for.
plain_engines_starting=()

# start_plain_engine DAEMON NAME SOCKET STATEDIR PORT TUN: starts the daemon
# set_engine_command describes in the background, with STATEDIR made (mode
# 0700), logging to STATEDIR.log. The pid goes into plain_engine_pid and
# daemons, so that stop_daemons stops it. It does not wait:
# wait_plain_engines does, for all the daemons started since, so that many
# start side by side.
start_plain_engine() {
  local daemon=$1 name=$2 socket=$3 statedir=$4 port=$5 tun=$6
  [[ -x $daemon ]] || fail "no engine daemon at $daemon"
  install -d -m 700 "$statedir"
  mkdir -p "$(dirname "$socket")"
  set_engine_command "$daemon" "$socket" "$statedir" "$port" "$tun"
  "${engine_command[@]}" >"$statedir.log" 2>&1 &
  plain_engine_pid=$!
  daemons+=("$plain_engine_pid")
  plain_engines_starting+=("$plain_engine_pid $socket $name")
}

# wait_plain_engines LIMIT: waits until every daemon start_plain_engine started since the
# last call has its socket, for at most LIMIT seconds in all; fails naming a
# daemon that exited.
wait_plain_engines() {
  local limit=$1 entry pid socket name
  local deadline=$((SECONDS + limit))
  for entry in "${plain_engines_starting[@]}"; do
    read -r pid socket name <<<"$entry"
    wait_until "the engine daemon $name" $((deadline - SECONDS > 0 ? deadline - SECONDS : 1)) \
      socket_ready "$pid" "$socket" "the engine daemon $name"
  done
  plain_engines_starting=()
}
