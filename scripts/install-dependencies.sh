#!/usr/bin/env bash
# Installs what building, testing and benchmarking QR47 needs on Debian 12 (as root, or through
# sudo); sox is what the render benchmark compares with.
set -euo pipefail

packages=(
  build-essential cmake pkg-config binutils python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsndfile1-dev libfftw3-dev libcairo2-dev fonts-dejavu-core libcli11-dev nlohmann-json3-dev
  libx11-dev libxtst-dev xvfb xauth
  lv2-dev ladspa-sdk sox
)

run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

export DEBIAN_FRONTEND=noninteractive
run apt-get update -qq
run apt-get install -y -qq --no-install-recommends "${packages[@]}" > /dev/null
