#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Idempotent: when every
# package is present it installs nothing and asks no package server.
set -euo pipefail

packages=(
  g++ cmake make
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libpulse-dev pkg-config libsndfile1-dev libsoxr-dev
  libgtest-dev libbenchmark-dev
  pulseaudio pulseaudio-utils sox espeak-ng desktop-file-utils clang-format
  avra pasmo xa65 gcc-avr avr-libc binutils-avr libsimavr-dev libelf-dev
)

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "bootstrap: not a Debian-based system; install the equivalents of: ${packages[*]}" >&2
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
