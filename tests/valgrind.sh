#!/usr/bin/env bash
# Runs the end-to-end tests with every run of the built tool under valgrind's
# memcheck, and fails on any error it reports (leaks that are certain
# included). Uses a dynamically linked build without sanitizers in
# build-valgrind/, or the build directory named by NIMBRO_VALGRIND_BUILD.
# Left out are the tests whose subject valgrind itself changes: strace would
# trace valgrind; valgrind adds LD_PRELOAD and friends to the environment the
# docker child inherits, takes a closed standard descriptor for its own log,
# cannot run an argument as long as the kernel allows, and turns the failed
# exec of a missing engine into a child's exit status 127.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIMBRO_VALGRIND_BUILD:-}
if [[ -z $build ]]; then
  build=$root/build-valgrind
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DNIMBRO_STATIC=OFF >/dev/null
  cmake --build "$build" -j2 --target nimbro_tests
fi
valgrind=$(command -v valgrind) || { echo "valgrind is not installed" >&2; exit 1; }

logs=$(mktemp -d -t nimbro-valgrind.XXXXXX)
export NIMBRO_E2E_WRAPPER="$valgrind --tool=memcheck --error-exitcode=99
  --leak-check=full --errors-for-leak-kinds=definite,indirect --log-file=$logs/%p.log"
# Each run under memcheck takes a good fraction of a second: fewer rounds of
# the loops, which still cover every kind of round.
export NIMBRO_SIGNAL_STORM_ROUNDS=${NIMBRO_SIGNAL_STORM_ROUNDS:-30}
export NIMBRO_KEY_RACE_ROUNDS=${NIMBRO_KEY_RACE_ROUNDS:-30}

status=0
excluded=EndToEndStrace.*:EndToEndAdmin.DockerGetsTheVectorAndAFilteredEnvironment
excluded+=:EndToEndJoin.ClosedStandardStreamsNeverBecomeTheKey
excluded+=:EndToEnd.ClosedStandardOutputFailsVersionWithoutEngine:EndToEnd.OutputsAndStatuses
excluded+=:EndToEndHostileInput.LongestArgument:EndToEndHostileInput.ClosedStandardDescriptorsInAnyCombination
excluded+=:EndToEndHostileInput.ClosedStandardDescriptorsWithoutDevNull
"$build/tests/nimbro_tests" --gtest_filter="EndToEnd*:-$excluded" || status=$?

# A run's log ends in its error count. A log without one is a child the
# tool forked, which valgrind follows up to the engine's exec.
runs=$(grep -l 'ERROR SUMMARY' "$logs"/*.log | wc -l)
failing=$(grep -l -E 'ERROR SUMMARY: [1-9]' "$logs"/*.log || true)
if [[ -n $failing ]]; then
  echo "valgrind: $(wc -l <<<"$failing") of $runs runs of the tool had memcheck errors; logs in $logs" >&2
  head -3 <<<"$failing" | xargs cat >&2
  exit 1
fi
rm -rf "$logs"
if ((runs == 0)); then
  echo "valgrind: the tool never ran under memcheck" >&2
  exit 1
fi
echo "valgrind: $runs runs of the tool, no memcheck errors"
exit "$status"
