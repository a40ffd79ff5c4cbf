#!/usr/bin/env bash
# Builds the libFuzzer target with clang-14 (ASan + UBSan) into build-fuzz/ and runs it for the
# given number of seconds (default 60) from a few generated seed files. The target takes a file
# through parsing, conversion in export mode and the one-bit image; its first five bytes choose
# the model settings, so every seed starts with five of them.
# The corpus grows in build-fuzz/corpus and is reused by later runs; findings land in
# build-fuzz/findings and make the script fail.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

packages=(clang-14 libclang-rt-14-dev libfuzzer-14-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz: installing ${missing[*]}" >&2
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DTICKTRACE_GUI=OFF -DBUILD_TESTING=OFF -DTICKTRACE_BENCH=OFF -DTICKTRACE_FUZZ=ON >/dev/null
cmake --build "$build" --target wave_path_fuzz -j "$(nproc 2>/dev/null || echo 2)"

# Seeds: little-endian fields written with printf escapes.
seeds="$build/seeds"
mkdir -p "$seeds" "$build/corpus" "$build/findings"
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
fmt16() { # tag channels rate bits
  local align=$(($2 * $4 / 8))
  printf 'fmt '; le32 16; le16 "$1"; le16 "$2"; le32 "$3"; le32 $(($3 * align)); le16 "$align"; le16 "$4"
}
samples() { local i; for ((i = 0; i < $1; i++)); do printf "\\x$(printf %02x $(((i * 37 + 11) & 255)))"; done; }
settings() { le16 "$1"; le16 "$2"; printf "\\x$(printf %02x "$3")"; } # Value 1 - 1, Value 2 - 1, a byte whose x 400 / 255 is the Volume
{ settings 2999 999 64; printf RIFF; le32 60; printf WAVE; fmt16 1 2 44100 16; printf data; le32 24; samples 24; } \
  >"$seeds/canonical.wav"
{ settings 8999 50 255; printf RIFF; le32 0; printf wave; fmt16 1 1 8000 8; printf LIST; le32 5; printf 'INFOx'; \
  printf '\0'; printf data; le32 4294967295; samples 33; } >"$seeds/list-pad-streaming.wav"
{ settings 8950 32766 200; printf RIFF; le32 0; printf WAVE; printf 'fmt '; le32 40; le16 65534; le16 2; le32 48000; \
  le32 192000; le16 4; le16 16; le16 22; le16 16; le32 3; \
  printf '\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'; \
  printf data; le32 0; samples 40; } >"$seeds/extensible.wav"
{ settings 120 3319 133; printf RIFF; le32 0; printf WAVE; fmt16 3 2 44100 32; printf data; le32 16; samples 16; } \
  >"$seeds/float.wav"

{ settings 0 32766 255; printf RIFF; le32 0; printf WAVE; fmt16 1 3 22050 16; printf LIST; le32 3; \
  printf 'abc'; printf data; le32 96; samples 96; } >"$seeds/three-channels-unpadded.wav"

cd "$build"
"$build/fuzz/wave_path_fuzz" "$build/corpus" "$seeds" \
  -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/findings/"
