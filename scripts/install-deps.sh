#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tarnwick need, when any is missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  zlib1g-dev
  qt6-base-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libcli11-dev
  zip unzip libarchive-tools python3
  xvfb xauth
)
if [ "${TARNWICK_FUZZ_DEPS:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" != 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || true
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
