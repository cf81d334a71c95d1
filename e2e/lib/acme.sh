# Shared by the sandbox scenarios: Pebble, a test ACME server, run in the
# scenario's namespace. It validates every challenge for real (no
# PEBBLE_VA_ALWAYS_VALID): it resolves names through the scenario's own
# /etc/hosts and connects to them. A scenario sources this file after run.sh
# and cell.sh, and sets `work` and `daemons`.

readonly PEBBLE_MODULE=github.com/letsencrypt/pebble/v2
readonly PEBBLE_VERSION=v2.10.3
readonly PEBBLE_PACKAGE=$PEBBLE_MODULE/cmd/pebble
pebble_dir=""
pebble_url=""
pebble_management=""

pebble_ready() {
  daemon_alive "$1" pebble
  curl -sf --max-time 5 --cacert "$2" "$pebble_url" >/dev/null
}

# build_acme_location CACHE: e2e/acme-location into CACHE/bin (the standard
# library only; seconds with a warm build cache).
build_acme_location() {
  run_child env -C "$repo_dir/e2e/acme-location" "${GO_VARS[@]}" CGO_ENABLED=0 \
    nice -n 10 go build -trimpath -o "$1/bin/acme-location" . ||
    die "building e2e/acme-location failed"
}

# start_pebble BINARY SHIM CA ADDR HTTP_PORT TLS_PORT: Pebble behind
# acme-location (SHIM) at https://ADDR:14000/dir (pebble_url), both under a
# certificate for ADDR from the authority in CA; Pebble's management API at
# https://ADDR:15000 (pebble_management). It validates HTTP-01 on HTTP_PORT
# and TLS-ALPN-01 on TLS_PORT of the name ordered.
start_pebble() {
  local binary=$1 shim=$2 ca=$3 addr=$4 http_port=$5 tls_port=$6
  pebble_dir=$work/pebble
  make_server_cert "$ca" "$pebble_dir" "$addr" "IP:$addr"
  jq -n --arg listen "$addr:14001" --arg management "$addr:15000" \
    --arg cert "$pebble_dir/tls.crt" --arg key "$pebble_dir/tls.key" \
    --argjson http "$http_port" --argjson tls "$tls_port" '{pebble: {
      listenAddress: $listen, managementListenAddress: $management,
      certificate: $cert, privateKey: $key, httpPort: $http, tlsPort: $tls,
      ocspResponderURL: "", externalAccountBindingRequired: false}}' \
    >"$pebble_dir/config.json"
  pebble_url=https://$addr:14000/dir
  pebble_management=https://$addr:15000
  # No random delay before validating, and no nonce refused at random: the
  # run's time and its log stay the same from run to run.
  PEBBLE_VA_NOSLEEP=1 PEBBLE_WFE_NONCEREJECT=0 \
    "$binary" -config "$pebble_dir/config.json" >"$pebble_dir/pebble.log" 2>&1 &
  local pid=$!
  daemons+=("$pid")
  "$shim" "$addr:14000" "https://$addr:14001" "$pebble_dir/tls.crt" "$pebble_dir/tls.key" \
    "$ca/ca.crt" >"$pebble_dir/acme-location.log" 2>&1 &
  daemons+=("$!")
  wait_until "Pebble" 60 pebble_ready "$pid" "$ca/ca.crt"
  say "Pebble $PEBBLE_VERSION at $pebble_url"
}

# pebble_root CA FILE: the root Pebble issues under (a new one at every
# start), into FILE.
pebble_root() {
  curl -sf --max-time 10 --cacert "$1/ca.crt" "$pebble_management/roots/0" >"$2" &&
    grep -q 'BEGIN CERTIFICATE' "$2" || fail "no issuing root from Pebble's management API"
}

# How many certificates Pebble has issued, from its log.
pebble_issued() { grep -c 'Issued certificate serial' "$pebble_dir/pebble.log" || true; }
