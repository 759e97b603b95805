#!/usr/bin/env bash
# Installs the Debian packages Ornamo needs to build, test and benchmark.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev libpng-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra
  qt6-translations-l10n
  desktop-file-utils appstream dpkg-dev file
  xvfb xauth xdotool
)
# `install-deps.sh fuzz` adds the compiler and runtime of the libFuzzer targets.
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-dev)
fi
# `install-deps.sh bench` adds the peer encoder the PNG benchmark measures against.
if [ "${1:-}" = bench ]; then
  packages+=(libvips-tools)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
