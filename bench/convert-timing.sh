#!/usr/bin/env bash
# ticktrace-convert --export as a whole process on a 10 M-frame 16-bit stereo file (40 MB), beside
# the export and load benchmarks of the same build, run in one go so the figures are comparable.
# The budget is BM_ExportToFile plus two BM_LoadFileBytesOnly (two reads of a file that size into
# a plain vector); BM_LoadFileBytesOnlyIntoSampleBytes gives the stricter budget of two reads
# into the loader's own huge-page memory.
# Usage: bench/convert-timing.sh [BUILD_DIR] [RUNS]   (defaults: build 5). Needs sox.
set -euo pipefail

build=${1:-build}
runs=${2:-5}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-convert-timing.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

wav=$tmp/music.wav
# The rate before -n is the rate the signal is made at: exactly 10 000 000 frames, no resampling.
sox -D -r 44100 -n -c 2 -b 16 -e signed-integer "$wav" \
  synth 10000000s sine 110 sine 277.2 whitenoise gain -3

TMPDIR=$tmp "$build/bench/ticktrace_bench" --benchmark_filter='Export|Load'

echo "ticktrace-convert --export, $runs runs (wall seconds):"
times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$build/ticktrace-convert" --export "$tmp/out.txt" "$wav"
  end=$(date +%s%N)
  times+=("$(( (end - start) / 1000000 ))")
done
printf '%s ms\n' "${times[@]}"
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print "min " t[1] " ms, median " t[int((NR + 1) / 2)] " ms" }'
