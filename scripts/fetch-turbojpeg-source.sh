#!/bin/sh
# Gets Debian's libjpeg-turbo sources for the Windows build
# (cmake/TurboJpegForTarget.cmake) into build-deps/ in the source tree, and
# prints the tarball's path. apt-get source checks them against Debian's
# signed index; it needs a deb-src entry, which this script adds for bookworm
# (/etc/apt/sources.list.d/tavixtool-src.sources) when apt has none.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/build-deps"
cd "$here/build-deps"
if ! ls libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1; then
    if ! apt-get source --download-only libjpeg-turbo >/dev/null 2>&1; then
        sudo=""
        [ "$(id -u)" -ne 0 ] && sudo=sudo
        echo "Adding Debian's source packages to apt (tavixtool-src.sources)" >&2
        printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
            "Suites: bookworm" "Components: main" \
            "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
            $sudo tee /etc/apt/sources.list.d/tavixtool-src.sources >/dev/null
        $sudo apt-get update >/dev/null
        apt-get source --download-only libjpeg-turbo >&2
    fi
fi
ls "$PWD"/libjpeg-turbo_*.orig.tar.gz
