#!/usr/bin/env bash
# ticktrace-convert --export, --wav and --info against the plain streaming program (bench/plain), as
# whole processes on 16-bit stereo files of 10 M, 100 M and 500 M frames (40 MB, 400 MB, 2 GB) made
# once with sox. Runs take turns (the order rotates every round) after a sync, so that none pays
# for another's writing; wall time and peak RSS come from /usr/bin/time. Prints the medians, the
# ratio of each to the plain program, the time per frame, and the peak RSS; the texts are
# compared byte for byte first.
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

printf '%-10s %8s %8s %8s %8s %6s %6s %6s %9s %9s %8s %8s %8s %8s\n' frames plain_s \
  export_s wav_s info_s export wav info plain_ns/f export_ns/f plain_MB export_MB wav_MB info_MB
for frames in $sizes; do
  wav=$tmp/in-$frames.wav
  # The rate before -n is the rate the signal is made at: exactly $frames frames, no resampling.
  sox -D -r 44100 -n -c 2 -b 16 -e signed-integer "$wav" \
    synth "${frames}s" sine 110 sine 277.2 whitenoise gain -3

  "$plain" "$wav" "$tmp/plain.txt"
  "$convert" --export "$tmp/export.txt" "$wav"
  if ! cmp -s "$tmp/plain.txt" "$tmp/export.txt"; then
    echo "the texts differ at $frames frames" >&2
    exit 1
  fi

  n=$runs
  [ "$frames" -ge 500000000 ] && n=$runsLargest
  kinds=(plain export wav info)
  for which in "${kinds[@]}"; do
    : >"$tmp/$which.times"
  done
  for run in $(seq "$n"); do
    for k in 0 1 2 3; do
      which=${kinds[$(((run + k) % 4))]}
      rm -f "$tmp/plain.txt" "$tmp/export.txt" "$tmp/one-bit.wav"
      sync
      case $which in
      plain) measure "$plain" "$wav" "$tmp/plain.txt" ;;
      export) measure "$convert" --export "$tmp/export.txt" "$wav" ;;
      wav) measure "$convert" --wav "$tmp/one-bit.wav" "$wav" ;;
      info) measure "$convert" --info "$wav" ;;
      esac >>"$tmp/$which.times"
    done
  done
  rm -f "$tmp/plain.txt" "$tmp/export.txt" "$tmp/one-bit.wav"

  medians=()
  peaks=()
  for which in "${kinds[@]}"; do
    medians+=("$(cut -d' ' -f1 "$tmp/$which.times" | median)")
    peaks+=("$(cut -d' ' -f2 "$tmp/$which.times" | sort -n | tail -1)")
  done
  awk -v f="$frames" -v p="${medians[0]}" -v e="${medians[1]}" -v w="${medians[2]}" \
    -v i="${medians[3]}" -v pk="${peaks[0]}" -v ek="${peaks[1]}" -v wk="${peaks[2]}" \
    -v ik="${peaks[3]}" 'BEGIN {
      printf "%-10d %8.3f %8.3f %8.3f %8.3f %6.3f %6.3f %6.3f %9.2f %9.2f %8.1f %8.1f %8.1f %8.1f\n",
        f, p, e, w, i, e / p, w / p, i / p, p * 1e9 / f, e * 1e9 / f, pk / 1024, ek / 1024,
        wk / 1024, ik / 1024 }'
  for which in "${kinds[@]}"; do
    echo "  $which runs (s): $(cut -d' ' -f1 "$tmp/$which.times" | tr '\n' ' ')"
  done
  rm -f "$wav"
done
