#!/usr/bin/env bash
# Usage: cell_test.sh CELL_DIR NIMBRO
# The shipped cell holds together: .env.example defines exactly the variables
# compose.yml reads, nimbro and Compose refuse it until the cell has a name
# and nimbro accepts it then, and where Docker Compose is present it reads the
# files as a user would have them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
cell=$1
nimbro=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -- "$cell/compose.yml" "$cell/config.yaml" "$cell/.env.example" "$work/"

expect_eq "compose.yml reads exactly the variables .env.example defines" \
    "$(sed -n 's/^\([A-Z_]*\)=.*/\1/p' "$cell/.env.example" | LC_ALL=C sort)" \
    "$(grep -o '\${[A-Z_]*' "$cell/compose.yml" | cut -c3- | LC_ALL=C sort -u)"

admin() {
    env -i PATH=/usr/bin:/bin NIMBRO_DOCKER_BIN=/bin/true NIMBRO_COMPOSE_ENV_FILE="$1" \
        "$nimbro" admin --compose-file "$work/compose.yml" nodes 2>&1
}
expect_eq "nimbro refuses the example's instance ID" \
    "nimbro: NIMBRO_INSTANCE_ID em $work/.env.example deve começar com letra ou número minúsculo e usar somente a-z, 0-9, hífen ou sublinhado" \
    "$(admin "$work/.env.example")"
sed 's/^NIMBRO_INSTANCE_ID=.*/NIMBRO_INSTANCE_ID=cell-a/' "$work/.env.example" >"$work/.env"
expect_eq "nimbro reads the example with a name" "" "$(admin "$work/.env")"

# A cell setting in the user's shell would outrank the cell's .env in Compose.
printf '#!/bin/sh\nenv\n' >"$work/docker-env" && chmod +x "$work/docker-env"
leaks=$(sed -n 's/^\([A-Z_]*\)=.*/\1=leak/p' "$cell/.env.example")
# shellcheck disable=SC2086 # one NAME=leak word per variable
seen=$(env -i PATH=/usr/bin:/bin $leaks NIMBRO_DOCKER_BIN="$work/docker-env" \
    NIMBRO_COMPOSE_ENV_FILE="$work/.env" "$nimbro" admin --compose-file "$work/compose.yml" nodes 2>&1)
expect_eq "docker inherits none of the cell's settings" "" "$(grep '=leak$' <<<"$seen" || true)"

if ! docker compose version >/dev/null 2>&1; then
    echo "the Compose checks are left out: docker compose is not installed"
    finish
    exit 0
fi
compose() { env -u COMPOSE_PROJECT_NAME -u COMPOSE_FILE docker compose --project-directory "$work" "$@"; }
config=$(compose config 2>&1) || true
expect_true "the project is the instance ID" grep -qx 'name: cell-a' <<<"$config"
expect_true "HTTP goes to loopback port 8080" grep -qx '        host_ip: 127.0.0.1' <<<"$config"
expect_true "STUN listens on the published port" \
    grep -qx '      HEADSCALE_DERP_SERVER_STUN_LISTEN_ADDR: 0.0.0.0:3478' <<<"$config"
expect_eq "the image" "headscale/headscale:0.29.2" "$(compose config --images 2>&1)"
expect_true "with TLS off no folder of the cell is mounted" \
    grep -qx '        source: no-tls' <<<"$config"
the_example_unchanged() { cp -- "$work/.env.example" "$work/.env"; }
no_name_at_all() { sed -i '/^NIMBRO_INSTANCE_ID=/d' "$work/.env"; }
for unnamed in the_example_unchanged no_name_at_all; do
    "$unnamed"
    expect_true "Compose refuses the cell and says what to do: $unnamed" \
        grep -qF 'copy .env.example to .env' <<<"$(compose config 2>&1 || true)"
done

finish
