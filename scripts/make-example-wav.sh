#!/usr/bin/env bash
# Writes a small WAV file for trying ticktrace-convert: two seconds of a two-note chord (220 Hz on
# the left, 330 Hz on the right), 22050 Hz, 16-bit stereo PCM, faded in and out.
# Usage: scripts/make-example-wav.sh [OUTPUT.wav]   (default build/example.wav)
set -euo pipefail

out=${1:-build/example.wav}
if ! command -v sox >/dev/null 2>&1; then
  echo "make-example-wav: sox is missing; 'make bootstrap' installs it" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
# -D: no dither, so the file is the same on every run. The rate before -n is the rate the
# tones are made at, so nothing is resampled.
sox -D -r 22050 -n -c 2 -b 16 -e signed-integer "$out" \
  synth 2 sine 220 sine 330 fade 0.05 2 0.3 gain -6
echo "$out"
