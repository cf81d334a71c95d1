# Shared by .ci/run and the sandbox scenarios: Debian packages installed on
# this host without letting their scripts start a service. The sandbox
# starts its own Docker Engine inside its namespaces, and the host must not
# get one.

# install_without_starting PACKAGE...: apt-get install with a policy-rc.d
# that says "not now" (101) to invoke-rc.d and deb-systemd-invoke; a policy
# already in place is left as it is. Fails if a Docker daemon runs after it.
install_without_starting() {
  local policy=/usr/sbin/policy-rc.d created=0 rc=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# no service starts while packages for nimbro'"'"'s tests are installed\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    created=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" || rc=$?
  if ((created)); then rm -f "$policy"; fi
  # A host daemon leaves its pid file and sockets in /run; the sandbox's
  # daemons only ever see a /run of their own.
  if [ -e /run/docker.pid ] || [ -S /run/docker.sock ] || [ -S /run/containerd/containerd.sock ]; then
    echo "a Docker daemon runs on this host after the install:" >&2
    ps -C dockerd,containerd -o pid,args >&2 || true
    return 1
  fi
  return "$rc"
}

# install_missing COMMAND:PACKAGE...: installs, without starting anything,
# the package of every COMMAND that is not on PATH (a COMMAND that starts
# with / is a file that must exist).
install_missing() {
  local pair want=()
  for pair; do
    if [[ ${pair%%:*} == /* ]]; then
      [[ -e ${pair%%:*} ]] && continue
    else
      command -v "${pair%%:*}" >/dev/null && continue
    fi
    want+=("${pair#*:}")
  done
  ((${#want[@]})) || return 0
  echo "installing ${want[*]} (no service is started)" >&2
  DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    install_without_starting "${want[@]}"
}
