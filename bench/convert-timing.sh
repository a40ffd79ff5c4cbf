#!/usr/bin/env bash
# ticktrace-convert --export against the plain streaming program (bench/plain), as whole processes
# on 16-bit stereo files of 10 M, 100 M and 500 M frames (40 MB, 400 MB, 2 GB) made once with sox.
# Runs alternate between the two (which goes first changes every run) after a sync, so that
# neither pays for the other's writing; wall time and peak RSS come from /usr/bin/time. Prints
# the medians, the ratio, the time per frame, and the peak RSS of --export, --wav and --info;
# the texts are compared byte for byte first.
#
# Usage: bench/convert-timing.sh [BUILD_DIR] [RUNS] [RUNS_AT_500M]   (defaults: build 5 3)
# Environment: CONVERT (the ticktrace-convert to time, default BUILD_DIR/ticktrace-convert),
# SIZES (frame counts, default "10000000 100000000 500000000"), TMPDIR (where the inputs and
# outputs go: needs about 3 GB per 500 M frames). Needs sox and GNU time.
set -euo pipefail

build=${1:-build}
runs=${2:-5}
runsLargest=${3:-3}
convert=${CONVERT:-$build/ticktrace-convert}
plain=$build/bench/plain_streaming_export
sizes=${SIZES:-10000000 100000000 500000000}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-convert-timing.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# "seconds peak-KiB" of one run of the command, its standard output discarded. The wall time is
# taken around GNU time, whose own figure has only hundredths of a second.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$tmp/time" "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(cat "$tmp/time")" | awk '{ printf "%.4f %d\n", $1 / 1e6, $2 }'
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf '%-10s %9s %9s %6s %11s %11s %9s %9s %9s %9s\n' frames plain_s tool_s ratio \
  plain_ns/f tool_ns/f plain_MB export_MB wav_MB info_MB
for frames in $sizes; do
  wav=$tmp/in-$frames.wav
  # The rate before -n is the rate the signal is made at: exactly $frames frames, no resampling.
  sox -D -r 44100 -n -c 2 -b 16 -e signed-integer "$wav" \
    synth "${frames}s" sine 110 sine 277.2 whitenoise gain -3

  "$plain" "$wav" "$tmp/plain.txt"
  "$convert" --export "$tmp/tool.txt" "$wav"
  if ! cmp -s "$tmp/plain.txt" "$tmp/tool.txt"; then
    echo "the texts differ at $frames frames" >&2
    exit 1
  fi

  n=$runs
  [ "$frames" -ge 500000000 ] && n=$runsLargest
  : >"$tmp/plain.times"
  : >"$tmp/tool.times"
  for run in $(seq "$n"); do
    for which in $( ((run % 2)) && echo "plain tool" || echo "tool plain"); do
      rm -f "$tmp/$which.txt"
      sync
      if [ "$which" = plain ]; then
        measure "$plain" "$wav" "$tmp/plain.txt" >>"$tmp/plain.times"
      else
        measure "$convert" --export "$tmp/tool.txt" "$wav" >>"$tmp/tool.times"
      fi
    done
  done
  rm -f "$tmp/plain.txt" "$tmp/tool.txt"
  sync
  wavRss=$(measure "$convert" --wav "$tmp/one-bit.wav" "$wav" | cut -d' ' -f2)
  rm -f "$tmp/one-bit.wav"
  sync
  infoRss=$(measure "$convert" --info "$wav" | cut -d' ' -f2)

  plainS=$(cut -d' ' -f1 "$tmp/plain.times" | median)
  toolS=$(cut -d' ' -f1 "$tmp/tool.times" | median)
  plainKb=$(cut -d' ' -f2 "$tmp/plain.times" | sort -n | tail -1)
  toolKb=$(cut -d' ' -f2 "$tmp/tool.times" | sort -n | tail -1)
  awk -v f="$frames" -v p="$plainS" -v t="$toolS" -v pk="$plainKb" -v tk="$toolKb" \
    -v wk="$wavRss" -v ik="$infoRss" 'BEGIN {
      printf "%-10d %9.3f %9.3f %6.3f %11.2f %11.2f %9.1f %9.1f %9.1f %9.1f\n", f, p, t, t / p,
        p * 1e9 / f, t * 1e9 / f, pk / 1024, tk / 1024, wk / 1024, ik / 1024 }'
  echo "  runs (s): plain $(cut -d' ' -f1 "$tmp/plain.times" | tr '\n' ' ')| tool $(cut -d' ' -f1 "$tmp/tool.times" | tr '\n' ' ')"
  rm -f "$wav"
done
