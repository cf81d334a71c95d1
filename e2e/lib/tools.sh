# Shared by the sandbox scenarios: the programs built from the Go module
# proxy into the cache, and nimbro built and installed with the engine. A
# scenario sources this file after run.sh and sets `repo_dir` and
# `outer_work`.

# The Go builds share the user's module and build caches (go env GOMODCACHE
# and GOCACHE), as any other build of these modules would: what is already
# downloaded or compiled is not fetched or compiled again. Nice and two jobs
# at most: the machine may be busy with other builds.
readonly GO_VARS=(GOTOOLCHAIN=local "GOFLAGS=-buildvcs=false -p=2")

cache_dir() {
  printf '%s\n' "${NIMBRO_SANDBOX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/nimbro-sandbox}"
}

# Holds an exclusive lock on the cache for the rest of the run: two Docker
# Engines on one data root would corrupt it.
lock_cache() {
  local cache=$1
  exec {cache_lock}>"$cache/lock"
  if ! flock -n "$cache_lock"; then
    say "another sandbox run is using $cache; waiting for it to end"
    # In the background, so that a signal stops the wait at once.
    run_child flock "$cache_lock" || die "could not lock $cache"
  fi
}

# True when BINARY was built from MODULE at VERSION.
built_from() {
  local binary=$1 module=$2 version=$3
  [[ -x $binary ]] &&
    go version -m "$binary" 2>/dev/null |
    grep -qE "^[[:space:]]+(mod|dep)[[:space:]]+${module//./\\.}[[:space:]]+${version//./\\.}([[:space:]]|$)"
}

# True when BINARY is MODULE at VERSION, built without cgo: the control
# image holds nothing but the binary, no C library.
static_build_from() {
  built_from "$@" && go version -m "$1" | grep -qE '^[[:space:]]+build[[:space:]]+CGO_ENABLED=0$'
}

# Builds PACKAGE from MODULE at VERSION into the cache as bin/NAME-VERSION
# (NAME: the package's last element), so that two versions of one program can
# live there side by side; pinned_bin prints that path. It is go install
# PACKAGE@VERSION, so MODULE is the main module and the program knows its own
# version (the control server checks its upgrade path with it). go install
# also asks for the module's version list, which the proxy refuses for some
# modules: go mod download MODULE@VERSION first records the version in the
# module cache, and the cache is the first proxy go install asks.
pinned_bin() {
  local cache=$1 version=$2 pkg=$3
  printf '%s/bin/%s-%s\n' "$cache" "${pkg##*/}" "$version"
}

go_build_pinned() {
  local cache=$1 module=$2 version=$3 pkg=$4
  local bin
  bin=$(pinned_bin "$cache" "$version" "$pkg")
  if static_build_from "$bin" "$module" "$version" && [[ $(go version -m "$bin") == *$'\tmod\t'"$module"$'\t'"$version"* ]]; then
    say "reusing $module $version from $cache/bin"
    return 0
  fi
  say "building $module $version with $(go env GOVERSION) (once; kept in $cache)"
  local gobin=$cache/src/${bin##*/} modcache
  modcache=$(go env GOMODCACHE)
  rm -rf -- "$gobin"
  mkdir -p "$gobin"
  { env -C "$cache" "${GO_VARS[@]}" go mod download "$module@$version" &&
    run_child env -C "$cache" "${GO_VARS[@]}" CGO_ENABLED=0 GOBIN="$gobin" \
      GOPROXY="file://$modcache/cache/download,$(go env GOPROXY)" \
      nice -n 10 go install -trimpath "$pkg@$version" &&
    mv -- "$gobin/${pkg##*/}" "$bin"; } ||
    die "building $pkg from $module $version failed"
  rm -rf -- "$gobin"
  rmdir --ignore-fail-on-non-empty -- "$cache/src"
  static_build_from "$bin" "$module" "$version" ||
    die "$bin is not a cgo-free $module $version after the build"
}

compose_plugin_is() {
  local plugin=$1 version=$2 reported
  [[ -x $plugin ]] || return 1
  reported=$("$plugin" version --short 2>/dev/null) || return 1
  [[ ${reported#v} == "${version#v}" ]]
}

# The Compose plug-in, built from the module proxy into the sandbox's own
# DOCKER_CONFIG. go install refuses this module (its go.mod has exclude
# directives), so the module is downloaded, copied where it may be written
# and built in place.
build_compose() {
  local cache=$1
  local plugin=$cache/docker-config/cli-plugins/docker-compose
  if compose_plugin_is "$plugin" "$COMPOSE_VERSION"; then
    say "reusing $COMPOSE_MODULE $COMPOSE_VERSION from $plugin"
    return 0
  fi
  say "building $COMPOSE_MODULE $COMPOSE_VERSION with $(go env GOVERSION) (once; kept in $cache)"
  local module_dir src=$cache/src/docker-compose-$COMPOSE_VERSION
  module_dir=$(env -C "$cache" "${GO_VARS[@]}" go mod download -json "$COMPOSE_MODULE@$COMPOSE_VERSION" |
    jq -r .Dir) && [[ -d $module_dir ]] ||
    die "go mod download $COMPOSE_MODULE@$COMPOSE_VERSION failed"
  rm -rf -- "$src"
  mkdir -p "$cache/src" "${plugin%/*}"
  cp -R -- "$module_dir" "$src" && chmod -R u+w -- "$src" || die "copying $module_dir failed"
  # The version stamp its own release build sets; the check above reads it.
  run_child env -C "$src" "${GO_VARS[@]}" nice -n 10 go build -trimpath \
    -ldflags="-X $COMPOSE_MODULE/internal.Version=$COMPOSE_VERSION" -o "$plugin" ./cmd ||
    die "building $COMPOSE_MODULE $COMPOSE_VERSION failed"
  rm -rf -- "$src"
  rmdir --ignore-fail-on-non-empty -- "$cache/src"
  compose_plugin_is "$plugin" "$COMPOSE_VERSION" ||
    die "$plugin does not report $COMPOSE_VERSION after the build"
}

# The control image's file system, laid out as the official image: the
# binary at /ko-app/headscale and the directories the cell mounts over. The
# Docker Engine imports it inside the namespaces.
make_control_rootfs() {
  local cache=$1 version=$2
  local tar=$cache/image/headscale-$version.tar bin
  bin=$(pinned_bin "$cache" "$version" headscale)
  if [[ -s $tar && $tar -nt $bin ]]; then
    say "reusing the control image's file system $tar"
    return 0
  fi
  local root=$cache/image/rootfs
  rm -rf -- "$root"
  mkdir -p "$root"/{ko-app,etc/headscale,var/lib/headscale,var/run/headscale,tmp}
  chmod 1777 "$root/tmp"
  install -m 755 "$bin" "$root/ko-app/headscale"
  tar --numeric-owner --owner=0 --group=0 -C "$root" -cf "$tar.new" . && mv -- "$tar.new" "$tar" ||
    die "packing the control image's file system failed"
  rm -rf -- "$root"
}

# Builds nimbro with the engine in build-sandbox/ and installs it into STAGE
# as cmake --install --prefix /usr/local would, DESTDIR aside. A given nimbro
# binary takes the place of the installed one.
install_node() {
  local stage=$1 given=$2
  local build=$repo_dir/build-sandbox log=$outer_work/node-build.log
  if [[ -n $given ]]; then
    [[ -x $given ]] || die "not an executable: $given"
    given=$(realpath -- "$given")
  fi
  say "building nimbro and the engine (-DNIMBRO_ENGINE=ON in ${build#"$repo_dir"/}), then installing them"
  { run_child cmake -S "$repo_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DNIMBRO_ENGINE=ON -DNIMBRO_TESTS=OFF &&
    run_child env "${GO_VARS[@]}" nice -n 10 cmake --build "$build" -j 2 &&
    run_child env DESTDIR="$stage" cmake --install "$build" --prefix /usr/local; } \
    >"$log" 2>&1 || {
    tail -n 30 "$log" >&2
    die "building or installing nimbro with the engine failed"
  }
  if [[ -n $given ]]; then
    install -m 755 "$given" "$stage/usr/local/bin/nimbro"
  fi
}
