#!/bin/sh
# Runs standin-session.js with Windows Node.js under Wine and passes when its result file ends in
# PASS; prints the transcript either way. In mode full the bridge runs from a folder of its own
# with the stand-in beside it, as an application ships it.
#     run_standin_session.sh WINE NODE_EXE SCRIPT BRIDGE_EXE STANDIN_FOLDER WORK_FOLDER MODE
set -eu
wine=$1 node=$2 script=$3 bridge=$4 standin=$5 work=$6 mode=$7
rm -rf "$work"
mkdir -p "$work"
# Wine shows the root folder as drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
case $mode in
full | thread-fault | call-fault | hang | hang-gone | bad-frames)
    mkdir -p "$work/app"
    cp "$bridge" "$standin/zegoliveroom.dll" "$work/app/"
    bridge=$work/app/$(basename "$bridge")
    dll= ;;
lacking) dll=$standin/without-EnableMic/zegoliveroom.dll ;;
missing) dll=$work/absent/zegoliveroom.dll ;;
*) echo "unknown mode $mode"; exit 1 ;;
esac
NODE_SKIP_PLATFORM_CHECK=1 timeout 300 "$wine" "$node" "$(windows_path "$script")" \
    "$(windows_path "$bridge")" "$(windows_path "$work")" "$(windows_path "$work/result.txt")" \
    "$mode" "${dll:+$(windows_path "$dll")}" </dev/null >"$work/node-output.txt" 2>&1 || true
[ -f "$work/result.txt" ] || { echo "no result from node.exe"; cat "$work/node-output.txt"; exit 1; }
cat "$work/result.txt"
[ "$(tail -n 1 "$work/result.txt")" = PASS ]
