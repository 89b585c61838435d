#!/usr/bin/env bash
# Installs the Debian packages the build needs; does nothing when they are all present.
set -eu

packages=(
    g++ cmake make pkg-config
    libode-dev libsdl2-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
    zlib1g-dev libpng-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
