#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made by debootstrap,
# with apt as a user would (apt install ./tavixtool_*.deb pulls in Qt, chmlib
# and a CJK font), then starts the installed programs there:
#   PackageRootTest.sh CPACK BINARY_DIR
# Exits 77 (skipped) where the machine does not allow it: not root, no
# debootstrap or chroot, or no Debian mirror within reach.
set -uo pipefail
cpack=$1
binary=$2
mirror=${TAVIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}

skip() {
    echo "skipped: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}
[ "$(id -u)" -eq 0 ] || skip "needs root for debootstrap and chroot"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"

work=$(mktemp -d /tmp/tavix-root-XXXXXX)
root=$work/root
cleanup() {
    mountpoint -q "$root/proc" 2>/dev/null && umount "$root/proc"
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && "$cpack" -G DEB --config "$binary/CPackConfig.cmake" >cpack.log 2>&1) ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/tavixtool_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package made"

# A root with nothing but Debian's minimal base: what a fresh install has.
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
    grep -q -E "Failed getting release file|Couldn't download|Temporary failure|Could not resolve" \
        "$work/debootstrap.log" && skip "no Debian mirror within reach: $(tail -1 "$work/debootstrap.log")"
    fail "debootstrap: $(tail -5 "$work/debootstrap.log")"
fi
chroot "$root" /bin/true 2>/dev/null || skip "chroot is not allowed here"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A real system has /proc; where it cannot be mounted here the run goes on
# without it (the program must work either way; see the end).
proc=yes
mount -t proc proc "$root/proc" || proc=no
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/home/user \
    LANG=C.UTF-8 "$@"; }

in_root apt-get update -q >"$work/apt.log" 2>&1 || fail "apt-get update: $(tail -5 "$work/apt.log")"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" \
    >>"$work/apt.log" 2>&1 || fail "apt install: $(tail -20 "$work/apt.log")"
grep -E "newly installed" "$work/apt.log"

# A user with a home of its own, in the dialout group the README names.
in_root useradd -m -G dialout user || fail "useradd"
as_user() { chroot --userspec=user:user "$root" /usr/bin/env -i PATH=/usr/bin:/bin \
    HOME=/home/user LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen "$@"; }

# --help and --version speak the locale's language: Chinese in a Chinese one,
# English otherwise; the manual pages are there in both.
version=$(as_user env LANG=zh_CN.UTF-8 tavixtool --version 2>&1) || fail "tavixtool --version: $version"
echo "$version"
grep -q "^TavixTool " <<<"$version" || fail "--version names no program"
grep -q "设置文件：/home/user/.config/TavixTool/DevSet.ini" <<<"$version" ||
    fail "--version names another settings file"
grep -q "帮助文件：/usr/share/tavixtool/Help.chm" <<<"$version" || fail "--version names another help file"
for file in Help_en.chm help/en/about.html help/en/camera-board.html help/en/simulator.html; do
    [ -s "$root/usr/share/tavixtool/$file" ] || fail "the package installs no /usr/share/tavixtool/$file"
done
english=$(as_user tavixtool --version 2>&1) || fail "tavixtool --version in English: $english"
grep -q "Settings file: /home/user/.config/TavixTool/DevSet.ini" <<<"$english" ||
    fail "--version in English: $english"
for page in tavixtool tavix-capture tavix-diagnose tavix-camsim; do
    [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no English manual page for $page"
done
for page in tavixtool tavix-capture tavix-diagnose; do
    [ -s "$root/usr/share/man/zh_CN/man1/$page.1.gz" ] || fail "no Chinese manual page for $page"
done
as_user tavix-camsim --help >/dev/null 2>&1 || fail "tavix-camsim --help"
as_user tavix-diagnose --help >/dev/null 2>&1 || fail "tavix-diagnose --help"
as_user tavix-capture --help >/dev/null 2>&1 || fail "tavix-capture --help"
in_root fc-list :lang=zh family | grep -q . || fail "no Chinese font in the root"

# The window starts, runs and ends as a session ends it; its settings go to
# the user's folder and nothing is written beside the program.
as_user timeout --preserve-status -s TERM 4 tavixtool >"$work/run.log" 2>&1
code=$?
[ $code -eq 0 ] || fail "tavixtool ended with $code: $(cat "$work/run.log")"
grep -q "^\[Com\]" "$root/home/user/.config/TavixTool/DevSet.ini" 2>/dev/null ||
    fail "no settings in the user's folder: $(cat "$work/run.log")"
[ ! -e "$root/usr/bin/DevSet.ini" ] || fail "settings written beside the program"

# Without /proc (a bare chroot or container) the program cannot read its own
# path: it still names the same files and writes nothing where it was started.
[ $proc = yes ] && umount "$root/proc"
bare=$(cd / && as_user env LANG=zh_CN.UTF-8 tavixtool --version 2>&1) || fail "tavixtool --version without /proc: $bare"
[ "$bare" = "$version" ] || fail "without /proc: $bare"
echo "installed into a fresh Debian 12 root and started"
