#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, when it is missing. Safe to run again.
set -euo pipefail

packages=(cmake ninja-build g++ clang lld libclang-rt-14-dev libboost-dev
          g++-mingw-w64-x86-64-posix wine64 googletest tar coreutils python3)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" </dev/null
fi
