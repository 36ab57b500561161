#!/bin/sh
# wine-run.sh <wine> <prefix> <program> [args...]: runs a Windows test program
# under wine with a wine prefix of the build tree's own (never ~/.wine of
# whoever builds) and without wine's debug noise. The toolchain file
# cmake/mingw-w64-x86_64.cmake makes it CMake's CROSSCOMPILING_EMULATOR.
wine=$1
prefix=$2
shift 2
mkdir -p "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$wine" "$@"
