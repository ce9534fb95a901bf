#!/usr/bin/env bash
# Installs the library from BUILD_DIR into a fresh folder, builds the consumer project there with
# find_package(Quorlane), and runs both of its programs against BRIDGE.
#   find-package-test.sh BUILD_DIR BRIDGE
set -euo pipefail
build=$1 bridge=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorlane-consumer.XXXXXX")
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --component library --prefix "$work/prefix" >/dev/null
cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
cd "$work"
"$work/build/consumer_shared" "$bridge"
"$work/build/consumer_static" "$bridge"
# The shared program found the installed library, not the build's.
ldd "$work/build/consumer_shared" | grep -q "$work/prefix/lib/libquorlane.so"
