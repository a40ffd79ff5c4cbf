#!/usr/bin/env bash
# Runs a command with a private runtime folder and no display. (The audio work extends this
# script to start a private sound server for the command and stop it afterwards.)
set -euo pipefail
runtime=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-test.XXXXXX")
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
export QT_QPA_PLATFORM=offscreen
"$@"
