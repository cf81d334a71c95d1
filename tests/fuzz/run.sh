#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each, starting from its seed corpus in
# tests/fuzz/corpus/<name>/. Builds the fuzz preset first unless
# NIMBRO_FUZZ_BUILD names an existing build directory. Extra arguments name a
# subset of the targets. New inputs and any crash artifacts go to a scratch
# directory (kept and named when a target fails); the committed seeds are
# never written.
#
#   tests/fuzz/run.sh 20               every target, 20 s each
#   tests/fuzz/run.sh 600 flags quote  two targets, 10 min each
set -euo pipefail

seconds=${1:?usage: tests/fuzz/run.sh SECONDS [TARGET...]}
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
targets=("$@")
((${#targets[@]})) || targets=(flags duration control_url cell_env quote format)

build=${NIMBRO_FUZZ_BUILD:-}
if [[ -z $build ]]; then
  build=$root/build-fuzz
  (cd "$root" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz)
fi

scratch=$(mktemp -d -t nimbro-fuzz-run.XXXXXX)
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

passed=0
failed=0
for name in "${targets[@]}"; do
  exe=$build/tests/fuzz/fuzz_$name
  seeds=$root/tests/fuzz/corpus/$name
  work=$scratch/$name
  mkdir -p "$work/corpus" "$work/artifacts"
  log=$work/log
  status=0
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  findings=$(find "$work/artifacts" -type f | wc -l)
  if ((status == 0 && findings == 0)); then
    passed=$((passed + 1))
    echo "fuzz_$name: ok, ${runs:-0} runs in ${seconds}s, ${cov:-no coverage line}"
  else
    failed=$((failed + 1))
    echo "fuzz_$name: FAILED (status $status, $findings artifacts); log and inputs in $work"
    grep -E 'property violated|ERROR: |runtime error|SUMMARY' "$log" | head -5 || true
  fi
done

((failed)) || rm -rf "$scratch"
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
