# Shared by the sandbox scenarios: how a run shows its steps, counts the
# facts that held, waits with a bound, and stops what it started by pid.
# A scenario sources this file and sets `work` (its work directory) before
# the first step runs.

# The long-running child of the outer part, stopped by pid if we are stopped.
outer_child=""
# The daemons started inside the namespaces, stopped by pid on every way out.
daemons=()
# The command show_run waits for, stopped by the scenario's exit trap.
command_pid=""
passed=0
out=""
last_status=0

say() { printf 'sandbox: %s\n' "$*"; }

die() {
  printf 'sandbox: FAILED: %s\n' "$*" >&2
  exit 1
}

# Stops the running child of the outer part. unshare ignores TERM while it
# waits for the namespace's first process, so that process is asked to stop
# first; KILL on unshare is the last resort, and takes the whole namespace
# with it.
stop_outer_child() {
  local pid=$outer_child
  [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null || return 0
  local children
  children=$(cat "/proc/$pid/task/$pid/children" 2>/dev/null || true)
  # shellcheck disable=SC2086 # one word per child pid
  kill -TERM "$pid" $children 2>/dev/null || true
  reap "$pid" 30
  outer_child=""
}

# Runs a command in the background and waits for it, so that a signal to the
# script can stop it by its pid.
run_child() {
  "$@" &
  outer_child=$!
  local rc=0
  wait "$outer_child" || rc=$?
  outer_child=""
  return "$rc"
}

# reap PID SECONDS: waits at most SECONDS for PID, already asked to stop,
# to end, then kills it and collects its status.
reap() {
  local pid=$1 i
  for ((i = 0; i < $2 * 10; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Stops every daemon we started, by pid: TERM, a bounded wait, then KILL.
stop_daemons() {
  local pid
  for pid in "${daemons[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${daemons[@]}"; do
    reap "$pid" 10
  done
  daemons=()
}

# Every check that held is counted; the outer part prints the tally.
ok() {
  passed=$((passed + 1))
  printf '%d\n' "$passed" >"$work/passed"
  printf '    ok: %s\n' "$*"
}

fail() {
  printf 'sandbox: FAILED: %s\n' "$*" >&2
  exit 1
}

# check WHAT COMMAND...: one fact, counted when COMMAND succeeds.
check() {
  local what=$1
  shift
  "$@" || fail "$what: does not hold"
  ok "$what"
}

# wait_until WHAT LIMIT COMMAND...: polls COMMAND until it succeeds, for at
# most LIMIT seconds. Used where the only sign is a state to look at: a socket
# file appearing, a peer seen online.
wait_until() {
  local what=$1 limit=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < deadline)) || fail "timed out after ${limit}s waiting for $what"
    sleep 0.2
  done
}

daemon_alive() { kill -0 "$1" 2>/dev/null || fail "$2 exited early"; }

socket_ready() {
  daemon_alive "$1" "$3"
  [[ -S $2 ]]
}

# show_run LABEL WANT SHOWN COMMAND...: shows SHOWN as the command line, runs
# COMMAND, shows what it printed, and fails unless it ended with status WANT.
show_run() {
  local label=$1 want=$2 shown=$3
  shift 3
  printf '\n[%s] $ %s\n' "$label" "$shown"
  last_status=0
  # In the background so that a signal reaches our trap at once instead of
  # after the command.
  timeout 150 "$@" >"$work/stdout" 2>"$work/stderr" &
  command_pid=$!
  wait "$command_pid" || last_status=$?
  command_pid=""
  # headscale colours its tables; the checks read plain text.
  sed 's/\x1b\[[0-9;]*m//g' "$work/stdout" >"$work/stdout.plain"
  out=$(<"$work/stdout.plain")
  sed 's/^/    /' "$work/stdout.plain"
  sed 's/^/    stderr: /' "$work/stderr"
  ((last_status == want)) || fail "$shown ended with status $last_status, expected $want"
  ok "exit status $want"
}

# expect REGEX [WHAT]: the last command's standard output has a line matching REGEX.
expect() {
  grep -qE -- "$1" "$work/stdout.plain" || fail "expected ${2:-a line matching /$1/} in the output above"
  ok "${2:-/$1/}"
}

# expect_err TEXT: the last command's one error line is "nimbro: " TEXT...
expect_err() {
  grep -qF -- "nimbro: $1" "$work/stderr" || fail "expected the error \"nimbro: $1...\""
  ok "the error line \"nimbro: $1...\""
}

is_number() {
  local v
  for v; do [[ $v =~ ^[0-9]+$ ]] || return 1; done
}

one_error_line() { [[ $(wc -l <"$work/stderr") -ge 1 && $(grep -c '^nimbro: ' "$work/stderr") == 1 ]]; }
