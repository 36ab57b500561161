#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Installs only
# what is missing, so a second run does nothing.
set -euo pipefail

PACKAGES=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev
    qt6-base-dev libgl-dev libx11-dev
    fontconfig fonts-wqy-microhei fonts-liberation fonts-wine
    qt6-translations-l10n qt6-l10n-tools qt6-tools-dev fp-utils libchm-dev libchm1
    xvfb xdotool x11-apps xauth
    help2man dpkg-dev debootstrap
    libturbojpeg0-dev zlib1g-dev
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 python3
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
"${SUDO[@]}" apt-get update
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
