#!/usr/bin/env bash
# Runs a command with a private runtime folder, no display and, when PulseAudio is installed, a
# private sound server whose only output is a null sink. The server is always stopped again, also
# when the command fails or is interrupted; the command's exit status is passed on.
#
# The command sees:
#   XDG_RUNTIME_DIR             a fresh folder that holds the server's socket
#   QT_QPA_PLATFORM=offscreen
#   TICKTRACE_TEST_SINK         name of the null sink (also the default sink); unset when no
#                               server could be started, and the audio tests then skip.
#                               Record what is played with: parec -d "$TICKTRACE_TEST_SINK.monitor"
set -euo pipefail

runtime=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-test.XXXXXX")
export XDG_RUNTIME_DIR="$runtime"
export QT_QPA_PLATFORM=offscreen
# Keep the server's cookie and state out of the user's home.
export PULSE_COOKIE="$runtime/pulse-cookie"
export PULSE_STATE_PATH="$runtime/pulse-state"
unset PULSE_SERVER PULSE_SINK TICKTRACE_TEST_SINK

sink=ticktrace_test
server_pid=

# The daemon is not our child, so once it exits it may linger as a zombie until init reaps it.
server_running() {
  [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null \
    && ! grep -qs '^State:[[:space:]]*Z' "/proc/$server_pid/status"
}

stop_server() {
  if server_running; then
    kill "$server_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      server_running || break
      sleep 0.1
    done
    server_running && kill -9 "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$runtime"
}
trap stop_server EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_server() {
  command -v pulseaudio >/dev/null 2>&1 && command -v pactl >/dev/null 2>&1 || {
    echo "with-test-sound-server: pulseaudio or pactl not installed; audio tests will skip" >&2
    return 0
  }
  # -n: no default configuration, so nothing but the null sink and the socket; works as root
  # (with a warning) and as a normal user. norewinds: when a stream starts, the sink would
  # re-render audio it had already passed to its monitor, and the recording would lose the
  # first ~15 ms of every sound.
  if ! pulseaudio -D -n --exit-idle-time=-1 --log-target=stderr --log-level=error \
      --load="module-null-sink sink_name=$sink norewinds=1" \
      --load="module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0" 2>"$runtime/pulse.log"; then
    echo "with-test-sound-server: pulseaudio did not start; audio tests will skip" >&2
    grep -v 'not intended to be run as root' "$runtime/pulse.log" >&2 || true
    return 0
  fi
  for _ in $(seq 100); do
    [ -f "$runtime/pulse/pid" ] && pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  server_pid=$(cat "$runtime/pulse/pid" 2>/dev/null || true)
  if ! pactl info >/dev/null 2>&1; then
    echo "with-test-sound-server: pulseaudio does not answer; audio tests will skip" >&2
    return 0
  fi
  pactl set-default-sink "$sink"
  export TICKTRACE_TEST_SINK="$sink"
}

start_server
"$@"
