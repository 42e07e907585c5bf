#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and any named as arguments
# (scripts/package.sh names its tools). Quiet and quick when all are present; the package lists
# are refreshed only when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config python3
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format libclang-rt-14-dev
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
    qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite libqt6sql6-psql
    postgresql chromium
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
