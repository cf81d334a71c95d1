# Shared by the sandbox scenarios: Debian 12 machines booted with systemd as
# PID 1, each a container of the scenario's own Docker Engine (cell.sh's
# start_docker). The root file system is made once with debootstrap, outside
# the namespaces (it needs the Debian mirror), and kept in the cache as a tar
# named for its package list; inside, it is imported as an image.
#
# Outside: machine_rootfs CACHE prints the tar's path. Inside, after
# start_docker: import_machine_image TAR, machine_network NAME SUBNET GATEWAY,
# then machine_start NAME NETWORK IP [docker run options...],
# machine_exec NAME COMMAND..., machine_copy NAME FILE PATH,
# machine_restart NAME and machine_pid NAME (its systemd's pid here; its
# /proc/PID/root is the machine's file system). stop_machines, before
# stop_docker, removes them all.

readonly MACHINE_SUITE=bookworm
# What every machine has besides the minimal base: systemd to boot, iproute2
# and iptables for an engine's kernel interface, ca-certificates for TLS.
# apt install ./x.deb in a machine resolves dependencies from these alone:
# the machines have no network.
readonly MACHINE_PACKAGES=systemd,systemd-sysv,dbus,init-system-helpers,iproute2,iptables,ca-certificates
readonly MACHINE_IMAGE=nimbro-sandbox/debian-$MACHINE_SUITE
machines=()

# The Debian mirror this host's apt uses.
debian_mirror() {
  local mirror
  mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list 2>/dev/null |
    grep -E '^[[:space:]]*(URIs:|deb[[:space:]])' |
    grep -oE 'https?://[^[:space:]]+/debian/?([[:space:]]|$)' | head -n 1 | tr -d '[:space:]')
  [[ -n $mirror ]] || die "no Debian mirror in /etc/apt/sources.list(.d): debootstrap needs one"
  printf '%s\n' "$mirror"
}

# The machines' root file system as a tar in CACHE/image, made with
# debootstrap unless the tar for this package list is there. Prints its path.
machine_rootfs() {
  local cache=$1
  local key
  key=$(printf '%s %s\n' "$MACHINE_SUITE" "$MACHINE_PACKAGES" | sha256sum | cut -c1-16)
  local tar=$cache/image/debian-$MACHINE_SUITE-$key.tar
  if [[ -s $tar ]]; then
    printf '%s\n' "$tar"
    return 0
  fi
  command -v debootstrap >/dev/null || die "debootstrap is not installed"
  local root=$cache/image/debian-rootfs log=$cache/image/debootstrap.log mirror
  mirror=$(debian_mirror)
  say "making the machines' Debian $MACHINE_SUITE with debootstrap from $mirror (once; kept in $cache)" >&2
  rm -rf -- "$root"
  mkdir -p "$root"
  run_child nice -n 10 debootstrap --variant=minbase --include="$MACHINE_PACKAGES" \
    "$MACHINE_SUITE" "$root" "$mirror" >"$log" 2>&1 || {
    tail -n 20 "$log" >&2
    die "debootstrap failed"
  }
  # A machine that boots in a container: no getty on consoles it does not
  # have, no apt timers, no hostname from the image.
  rm -f -- "$root/etc/hostname" "$root/etc/machine-id" "$root"/var/cache/apt/archives/*.deb
  : >"$root/etc/machine-id"
  local unit
  for unit in getty.target apt-daily.timer apt-daily-upgrade.timer systemd-timesyncd.service; do
    ln -sf /dev/null "$root/etc/systemd/system/$unit"
  done
  tar --numeric-owner -C "$root" -cf "$tar.new" . && mv -- "$tar.new" "$tar" ||
    die "packing the machines' file system failed"
  rm -rf -- "$root"
  rm -f -- "$log"
  printf '%s\n' "$tar"
}

# Imports the tar machine_rootfs made unless the Engine has it already.
import_machine_image() {
  local tar=$1 sum
  sum=$(sha256sum <"$tar") && sum=${sum%% *}
  if [[ $(docker image inspect -f '{{.Comment}}' "$MACHINE_IMAGE" 2>/dev/null) == "$sum" ]]; then
    say "reusing the machine image $MACHINE_IMAGE"
    return 0
  fi
  say "importing the machine image $MACHINE_IMAGE"
  docker import -m "$sum" -c 'CMD ["/lib/systemd/systemd"]' "$tar" "$MACHINE_IMAGE" >/dev/null ||
    fail "docker import $tar failed"
}

# machine_network NAME SUBNET GATEWAY: a bridge for machines, made afresh;
# GATEWAY is this namespace's address on it.
machine_network() {
  docker network rm "$1" >/dev/null 2>&1 || true
  docker network create --subnet "$2" --gateway "$3" "$1" >/dev/null ||
    fail "docker network create $1 failed"
}

machine_pid() { docker inspect -f '{{.State.Pid}}' "$1"; }

machine_running() {
  local state
  state=$(docker exec "$1" systemctl is-system-running 2>/dev/null) || true
  case $state in
    running) return 0 ;;
    degraded)
      docker exec "$1" systemctl --failed --no-legend >&2 || true
      fail "machine $1 booted degraded"
      ;;
  esac
  return 1
}

# machine_start NAME NETWORK IP [OPTIONS...]: boots a machine on the Docker
# network NETWORK at IP, with the docker run OPTIONS given (--add-host,
# --device ...), and waits until systemd says the system is running.
# systemd needs the capabilities (all but CAP_SYS_RESOURCE, which the host's
# bounding set may lack), no seccomp or AppArmor filter, a /run of its own
# and the cgroup tree; SIGRTMIN+3 asks it to halt. Booted by the kernel,
# systemd makes every mount shared; in a container it leaves that to the
# container manager, and Docker's are private, so it is done before systemd
# starts: a unit's credentials are mounted in a namespace of their own and
# reach the unit only through a shared /run.
machine_start() {
  local name=$1 network=$2 ip=$3
  shift 3
  docker rm -f "$name" >/dev/null 2>&1 || true
  docker run -d --name "$name" --hostname "$name" --network "$network" --ip "$ip" \
    --cap-add=ALL --cap-drop=SYS_RESOURCE --security-opt seccomp=unconfined \
    --security-opt apparmor=unconfined --tmpfs /run --tmpfs /run/lock --tmpfs /tmp \
    -v /sys/fs/cgroup:/sys/fs/cgroup:ro -e container=docker --stop-signal SIGRTMIN+3 \
    "$@" "$MACHINE_IMAGE" /bin/sh -c 'mount --make-rshared / && exec /lib/systemd/systemd' >/dev/null ||
    fail "machine $name did not start"
  machines+=("$name")
  wait_until "machine $name to boot" 90 machine_running "$name"
}

# machine_exec NAME COMMAND...: runs COMMAND in the machine, no terminal.
machine_exec() {
  local name=$1
  shift
  docker exec -i "$name" "$@"
}

# machine_copy NAME FILE PATH: puts FILE at PATH in the machine.
machine_copy() { docker cp -- "$2" "$1:$3" >/dev/null; }

# machine_restart NAME: halts the machine (systemd stops its units) and
# boots it again, with its disk as it was.
machine_restart() {
  docker restart -t 30 "$1" >/dev/null || fail "machine $1 did not restart"
  wait_until "machine $1 to boot again" 90 machine_running "$1"
}

# Removes the machines; stop_docker does it too, with every other container.
stop_machines() {
  local name
  for name in "${machines[@]}"; do
    docker rm -f "$name" >/dev/null 2>&1 || true
  done
  machines=()
}
