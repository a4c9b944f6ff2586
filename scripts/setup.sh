#!/usr/bin/env bash
# Installs the Debian packages that building and testing Plovant need, if any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkgconf qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth xdotool imagemagick lib3ds-dev assimp-utils
          libglm-dev libtinygltf-dev zlib1g-dev nodejs)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm is its own Debian package, but some Node.js builds bring it along.
command -v npm >/dev/null 2>&1 || missing+=(npm)

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Khronos glTF validator for the export tests, exactly the version in the lock file.
validator="$(dirname "$0")/../tests/gltf/validator"
if [ ! -f "$validator/node_modules/gltf-validator/package.json" ]; then
    (cd "$validator" && npm ci --no-audit --no-fund --loglevel=error)
fi
