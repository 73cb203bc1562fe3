#!/usr/bin/env bash
# Installs what building, testing and running LumoMap needs on Debian 12 (run as root).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    doxygen abigail-tools dpkg-dev file lintian
    qt6-base-dev qt6-5compat-dev qt6-svg-dev
    qtbase5-dev libqt5svg5-dev
    clang libclang-rt-14-dev
    python3
    hyperfine valgrind jq
    rapidjson-dev
    chromium
    ola tshark curl
)
# The map page's browser tests run on node and npm; a node that is already there (of any origin) is kept.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# tshark asks whether plain users may capture; the tests read recorded files only.
echo 'wireshark-common wireshark-common/install-setuid boolean false' | debconf-set-selections
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
