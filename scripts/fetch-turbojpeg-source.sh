#!/bin/sh
# Gets Debian's libjpeg-turbo sources for the Windows build
# (cmake/TurboJpegForTarget.cmake) into build-deps/ in the source tree.
# apt-get source needs a deb-src entry for bookworm, e.g. a file
# /etc/apt/sources.list.d/debian-src.sources holding
#   Types: deb-src
#   URIs: http://deb.debian.org/debian
#   Suites: bookworm
#   Components: main
#   Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
# and an apt-get update.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/build-deps"
cd "$here/build-deps"
ls libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1 || apt-get source --download-only libjpeg-turbo
ls "$PWD"/libjpeg-turbo_*.orig.tar.gz
