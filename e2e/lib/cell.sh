# Shared by the sandbox scenarios: the Docker Engine of the scenario's own
# namespaces, and cells copied from the shipped cell/ folder and run by
# Compose. A scenario sources this file after run.sh and sets `work`,
# `cache` and `repo_dir`.

# The control server's service in the shipped compose.yml.
readonly CELL_SERVICE=nimbro-control
dockerd_pid=""
# Every cell folder copy_cell made: stop_docker takes them down first.
cells=()

# The words of docker compose for the cell in DIR, into compose_cmd. The
# user's shell may hold Compose variables: the sandbox's own calls drop them.
compose_cmd=()
compose_for() {
  local dir=$1
  compose_cmd=(env -u COMPOSE_PROJECT_NAME -u COMPOSE_FILE -u NIMBRO_INSTANCE_ID
    docker compose --project-directory "$dir" --env-file "$dir/.env" -f "$dir/compose.yml")
}

cell_compose() {
  local dir=$1
  shift
  compose_for "$dir"
  timeout 120 "${compose_cmd[@]}" "$@"
}

# compose_run DIR WANT ARGS...: docker compose for the cell in DIR, shown.
compose_run() {
  local dir=$1 want=$2
  shift 2
  compose_for "$dir"
  show_run "${dir##*/}" "$want" "docker compose $*" "${compose_cmd[@]}" "$@"
}

# The real headscale CLI in the cell in DIR, for the few facts the sandbox
# checks behind nimbro's back.
control_in() {
  local dir=$1
  shift
  cell_compose "$dir" exec -T "$CELL_SERVICE" headscale "$@" </dev/null
}

# make_ca DIR: a certificate authority of the sandbox's own, ca.crt and ca.key.
make_ca() {
  mkdir -p "$1"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
    -subj "/CN=nimbro sandbox CA ${1##*/}" -keyout "$1/ca.key" -out "$1/ca.crt" 2>/dev/null ||
    fail "openssl could not make a certificate authority in $1"
}

# make_server_cert CA DIR NAME [SAN...]: tls.crt (the full chain) and tls.key
# for NAME (and the further subject names SAN..., such as IP:10.0.0.1),
# signed by the authority in CA, as a cell's TLS folder holds.
make_server_cert() {
  local ca=$1 dir=$2 name=$3
  shift 3
  local sans=DNS:$name san
  for san; do sans+=,$san; done
  mkdir -p "$dir"
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes \
    -subj "/CN=$name" -keyout "$dir/tls.key" -out "$dir/tls.csr" 2>/dev/null &&
    openssl x509 -req -in "$dir/tls.csr" -CA "$ca/ca.crt" -CAkey "$ca/ca.key" -days 2 \
      -extfile <(printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$sans") \
      -out "$dir/leaf.crt" 2>/dev/null ||
    fail "openssl could not make a certificate for $name"
  cat "$dir/leaf.crt" "$ca/ca.crt" >"$dir/tls.crt"
  rm -f -- "$dir/tls.csr" "$dir/leaf.crt"
  chmod 600 "$dir/tls.key"
}

# The cgroup the Docker Engine puts this run's containers under, named for
# the run's work directory: a leftover container of this run is found by it,
# and one of another run is not taken for ours.
containers_cgroup() { printf '%s\n' "${work##*/}"; }

docker_ready() {
  daemon_alive "$1" dockerd
  docker version >/dev/null 2>&1
}

# The Docker Engine of this namespace: its bridge and its NAT rules exist
# only here, its data root is the cache's (so the control image is imported
# once), everything else lives in the work directory.
start_docker() {
  mkdir -p "$work/docker"
  printf '{}\n' >"$work/docker/daemon.json"
  export DOCKER_HOST=unix://$work/docker/docker.sock
  export DOCKER_CONFIG=$cache/docker-config
  dockerd --data-root "$cache/docker" --exec-root "$work/docker/run" \
    --pidfile "$work/docker/dockerd.pid" --host "$DOCKER_HOST" \
    --config-file "$work/docker/daemon.json" --storage-driver vfs \
    --cgroup-parent "$(containers_cgroup)" --shutdown-timeout 5 \
    >"$work/docker/dockerd.log" 2>&1 &
  dockerd_pid=$!
  wait_until "the Docker Engine" 60 docker_ready "$dockerd_pid"
  say "Docker Engine $(docker version -f '{{.Server.Version}}') at $DOCKER_HOST, data root $cache/docker"
}

# Takes the cells down with their volumes, then stops the Docker Engine by
# its pid: it stops its containerd, which stops the containers' shims.
stop_docker() {
  [[ -n $dockerd_pid ]] || return 0
  local dir
  for dir in "${cells[@]}"; do
    [[ -f $dir/.env ]] || continue
    compose_for "$dir"
    timeout 30 "${compose_cmd[@]}" down --volumes --timeout 5 >/dev/null 2>&1 || true
  done
  kill -TERM "$dockerd_pid" 2>/dev/null || true
  reap "$dockerd_pid" 30
  dockerd_pid=""
  # The containers' cgroups are gone by now; their empty parents go too.
  rmdir /sys/fs/cgroup/*/"$(containers_cgroup)" 2>/dev/null || true
}

# Imports the control image of headscale VERSION under NAME unless the Engine has it from this
# very file system already.
import_control_image() {
  local name=$1 version=$2
  local tar=$cache/image/headscale-$version.tar sum
  sum=$(sha256sum <"$tar") && sum=${sum%% *}
  if [[ $(docker image inspect -f '{{.Comment}}' "$name" 2>/dev/null) == "$sum" ]]; then
    say "reusing the control image $name"
    return 0
  fi
  say "importing the control image $name"
  docker import -m "$sum" -c 'ENTRYPOINT ["/ko-app/headscale"]' \
    -c 'ENV PATH=/ko-app:/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin' \
    "$tar" "$name" >/dev/null || fail "docker import $tar failed"
}

# Copies the shipped cell into DIR unchanged, then writes what a user
# edits: .env from .env.example with the given NAME=value lines replaced,
# and server_url.
copy_cell() {
  local dir=$1 server_url=$2
  shift 2
  mkdir -p "$dir"
  cells+=("$dir")
  cp -- "$repo_dir/cell/compose.yml" "$repo_dir/cell/config.yaml" "$repo_dir/cell/.env.example" "$dir/"
  cp -- "$dir/.env.example" "$dir/.env"
  local setting
  for setting; do
    grep -q "^${setting%%=*}=" "$dir/.env" || fail "${setting%%=*} is not in cell/.env.example"
    sed -i "s|^${setting%%=*}=.*|$setting|" "$dir/.env"
  done
  grep -q '^server_url: ' "$dir/config.yaml" || fail "no server_url in cell/config.yaml"
  sed -i "s|^server_url: .*|server_url: $server_url|" "$dir/config.yaml"
}
