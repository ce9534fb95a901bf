#!/bin/sh
# Runs a Node.js host script (node-session.js, node-host-gone.js) with Windows Node.js under
# Wine and passes when its result file ends in PASS; prints the transcript either way.
#     run_node_session.sh WINE NODE_EXE SCRIPT BRIDGE_EXE WORK_FOLDER MODE
set -eu
wine=$1 node=$2 script=$3 bridge=$4 work=$5 mode=$6
rm -rf "$work"
mkdir -p "$work"
# Wine shows the root folder as drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
NODE_SKIP_PLATFORM_CHECK=1 timeout 300 "$wine" "$node" "$(windows_path "$script")" \
    "$(windows_path "$bridge")" "$(windows_path "$work")" "$(windows_path "$work/result.txt")" \
    "$mode" </dev/null >"$work/node-output.txt" 2>&1 || true
[ -f "$work/result.txt" ] || { echo "no result from node.exe"; cat "$work/node-output.txt"; exit 1; }
cat "$work/result.txt"
[ "$(tail -n 1 "$work/result.txt")" = PASS ]
