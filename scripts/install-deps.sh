#!/usr/bin/env bash
# Installs every Debian 12 package the build and the tests need.
# Does nothing (and needs no network) when all of them are already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libusb-1.0-0-dev libxcb1-dev
  libasound2-dev alsa-utils
  libmp3lame-dev libmpg123-dev
  zlib1g-dev
  libjpeg62-turbo-dev
  libcpp-httplib-dev libboost-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 fonts-dejavu-core
  libwmf-bin fonts-urw-base35 poppler-utils
)
# `make fuzz` (scripts/install-deps.sh fuzz) also needs clang and libFuzzer.
if [ "${1:-}" = fuzz ]; then PACKAGES+=(clang libclang-rt-14-dev); fi
# The browser client's test (scripts/install-deps.sh browser) drives Chromium.
if [ "${1:-}" = browser ]; then PACKAGES+=(chromium python3-websocket); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
