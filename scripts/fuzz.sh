#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (ASan + UBSan) into build-fuzz/ and runs each for the
# given number of seconds (default 60) from a few generated seed files:
# - wave_path_fuzz takes a file through WAV parsing, conversion in export mode and the one-bit
#   image; its first five bytes choose the model settings, so every seed starts with five of them.
# - decode_resample_fuzz takes a file through the decoder library, a resample and the
#   conversion; five bytes of settings, then three that choose the rate, then the file.
# The corpora grow in build-fuzz/corpus and build-fuzz/decode-corpus and are reused by later
# runs; findings land in build-fuzz/findings and make the script fail. FUZZ_TARGETS="NAME ..."
# runs only the targets named.
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
cmake --build "$build" --target wave_path_fuzz decode_resample_fuzz -j "$(nproc 2>/dev/null || echo 2)"

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

# The decoder's seeds: a short sweep in the formats sox writes, behind settings and a rate.
decode_seeds="$build/decode-seeds"
mkdir -p "$decode_seeds" "$build/decode-corpus"
rate24() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))"; }
made=0
for seed in "flac:-b 16:16000" "ogg::11025" "aiff:-b 16:44100" "au:-e mu-law:8000" "wav:-b 24:22050" \
  "wav:-e floating-point:1" "wav:-e gsm-full-rate:8000" "wav:-e ima-adpcm:48000" "caf:-b 16:384000" \
  "w64:-b 16:0" "voc:-b 8:16000" "8svx:-b 8:8000"; do
  IFS=: read -r type options rate <<<"$seed"
  sound="$build/seed-sound.$type"
  # shellcheck disable=SC2086 # the options are words
  if sox -q -n -r 8000 -c 1 $options "$sound" synth 0.05 sine 300-2000 2>/dev/null; then
    { settings 2999 999 128; rate24 "$rate"; cat "$sound"; } >"$decode_seeds/$type-$made"
    made=$((made + 1))
  fi
  rm -f "$sound"
done

cd "$build"
run() { # target corpus seeds max_len
  LSAN_OPTIONS="suppressions=$root/scripts/leak-suppressions.txt:print_suppressions=0" \
    "$build/fuzz/$1" "$2" "$3" -max_total_time="$seconds" -max_len="$4" -print_final_stats=1 \
    -artifact_prefix="$build/findings/"
}
# FUZZ_TARGETS narrows the run to some of the targets.
for target in ${FUZZ_TARGETS:-wave_path_fuzz decode_resample_fuzz}; do
  case "$target" in
    wave_path_fuzz) run wave_path_fuzz "$build/corpus" "$seeds" 4096 ;;
    decode_resample_fuzz) run decode_resample_fuzz "$build/decode-corpus" "$decode_seeds" 16384 ;;
    *) echo "fuzz: no target $target" >&2; exit 2 ;;
  esac
done
