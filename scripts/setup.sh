#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and their peers need, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config binutils
  libgtest-dev libbenchmark-dev
  libpng-dev libsndfile1-dev
  libavcodec-dev libavutil-dev
  ffmpeg imagemagick sox
  libswscale-dev    # AVI frame decoder and compressors
  libavformat-dev   # only the AVI benchmark's baseline
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
