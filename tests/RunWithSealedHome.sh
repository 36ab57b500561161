#!/usr/bin/env bash
# Runs a test with HOME at an empty folder and the XDG folders unset, and
# fails it when anything appears in that folder: a test keeps to a home of
# its own and leaves the user's configuration, recent files and caches alone.
#   RunWithSealedHome.sh FOLDER COMMAND [ARGS...]
set -u
home=$1
shift
rm -rf "$home" && mkdir -p "$home" || exit 1
HOME=$home env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME "$@"
status=$?
left=$(cd "$home" && find . -mindepth 1 | sort | head -20)
if [ -n "$left" ]; then
    echo "FAILED: the test wrote into its HOME ($home):"
    echo "$left"
    exit 1
fi
exit $status
