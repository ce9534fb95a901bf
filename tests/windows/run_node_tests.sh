#!/bin/sh
# Runs the Node.js host package's client tests (compiled on Linux into hosts/node/.test-build;
# the browser tests need Linux Chromium and stay out) with Windows Node.js under Wine against the
# Windows bridge. The console of node.exe is unusable under Wine when it is a pipe, so the results
# go to a TAP file; passes when node.exe ends with 0 and that file reports tests and no failure.
#     run_node_tests.sh WINE NODE_EXE TEST_BUILD_DIR BRIDGE_EXE WORK_FOLDER
set -eu
wine=$1 node=$2 tests=$3 bridge=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
# Wine shows the root folder as drive Z:.
windows_path() { printf 'Z:%s' "$(realpath -m "$1")" | tr / '\\'; }

set --
for file in "$tests"/test/*.test.js; do
    [ -f "$file" ] || { echo "no compiled tests in $tests/test"; exit 1; }
    set -- "$@" "$(windows_path "$file")"
done
tap=$work/results.tap
status=0
QUORLANE_EXECUTABLE=$(windows_path "$bridge") NODE_SKIP_PLATFORM_CHECK=1 timeout 300 \
    "$wine" "$node" --test --test-reporter=tap --test-reporter-destination="$(windows_path "$tap")" \
    "$@" </dev/null >"$work/node-output.txt" 2>&1 || status=$?

summary() { sed -n "s/^# $1 \([0-9]*\)\$/\1/p" "$tap" | tail -n 1; }
if [ ! -f "$tap" ]; then
    echo "no results from node.exe (exit status $status)"
    cat "$work/node-output.txt"
    exit 1
fi
tests_run=$(summary tests) passed=$(summary pass) failed=$(summary fail)
cancelled=$(summary cancelled) skipped=$(summary skipped)
echo "Windows Node.js client tests: ${tests_run:-?} tests, ${passed:-?} passed, ${failed:-?} failed," \
    "${cancelled:-?} cancelled, ${skipped:-?} skipped (exit status $status)"
grep "# SKIP" "$tap" || true
if [ "$status" -ne 0 ] || [ "${tests_run:-0}" -eq 0 ] || [ "${failed:-1}" -ne 0 ] ||
    [ "${cancelled:-1}" -ne 0 ] || [ "${passed:-0}" -eq 0 ]; then
    cat "$tap"
    echo "-- node.exe output:"
    cat "$work/node-output.txt"
    exit 1
fi
