#!/bin/sh
# Gets Debian's libjpeg-turbo sources for the Windows build
# (cmake/TurboJpegForTarget.cmake) into build-deps/ in the source tree.
# Needs a deb-src entry for bookworm in /etc/apt/sources.list.d.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/build-deps"
cd "$here/build-deps"
ls libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1 || apt-get source --download-only libjpeg-turbo
ls "$PWD"/libjpeg-turbo_*.orig.tar.gz
