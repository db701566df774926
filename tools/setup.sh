#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, if it is
# missing: the mingw-w64 cross compilers, 64-bit Wine, qemu to run the
# 32-bit Wine loader, the Japanese locale, CMake, GoogleTest, clang's fuzzer
# runtime, pefile, the signing tools, and for the demo a virtual display
# with a Japanese font. The 32-bit Wine itself is never installed on the
# machine: tools/wine32.sh unpacks it under build/.
#
# An index of the archive that cannot be read is no reason to stop: apt
# goes on with the lists it has, and only a package that then cannot be
# installed fails the set-up, named with apt's reason.
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

. tools/apt_helpers.sh
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# All at once, the fast way; if that fails, each package alone, so the one
# that cannot be had is named with what apt said about it.
install() {
    echo "setup: installing $*"
    apt-get install -y -qq "$@" >"$log" 2>&1 && return 0
    local pkg failed=0
    for pkg in "$@"; do
        have "$pkg" && continue
        if ! apt-get install -y -qq "$pkg" >"$log" 2>&1; then
            echo "setup: cannot install $pkg:" >&2
            apt_reason "$log"
            failed=1
        fi
    done
    return $failed
}

need=()
for pkg in mingw-w64 wine64 locales cmake make g++ googletest libgtest-dev clang \
           libclang-rt-14-dev python3 python3-pefile xvfb xauth fonts-ipafont-gothic imagemagick \
           qemu-user-static osslsigncode openssl; do
    have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    update_lists "apt-get update" "$log"
    install "${need[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi

# The shipped program is 32-bit: Debian's 32-bit Wine runs it, under qemu,
# since these machines cannot run 32-bit Linux programs themselves.
tools/wine32.sh build/wine32
