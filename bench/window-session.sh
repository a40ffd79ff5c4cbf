#!/usr/bin/env bash
# Peak memory and Play 1Bit latency of a window session on a large file (see
# bench/window/WindowSessionBench.cpp), on a private sound server: once with the one-bit sound
# playing on through every step, once with STOP pressed before every step.
# Usage: bench/window-session.sh [BUILD_DIR] [FRAMES]   (defaults: build 100000000)
set -euo pipefail

build=${1:-build}
frames=${2:-100000000}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-window-session.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

for mode in "" --stop-between; do
  "$here/../scripts/with-test-sound-server.sh" \
    "$build/bench/ticktrace_window_bench" "$tmp" "$frames" $mode
done
