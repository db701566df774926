#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, if it is
# missing: the mingw-w64 cross compilers, Wine (64-bit, and the 32-bit
# loader with qemu to run it), the Japanese locale, CMake, GoogleTest,
# clang's fuzzer runtime, pefile, the signing tools, and for the demo a
# virtual display with a Japanese font.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
install() {  # apt-get options, then packages
    echo "setup: installing $*"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "$@" >/dev/null
}

need=()
for pkg in mingw-w64 wine64 locales cmake make g++ googletest libgtest-dev clang \
           libclang-rt-14-dev python3 python3-pefile xvfb xauth fonts-ipafont-gothic imagemagick \
           qemu-user-static osslsigncode openssl; do
    have "$pkg" || need+=("$pkg")
done
[ ${#need[@]} -eq 0 ] || install "${need[@]}"

# The shipped program is 32-bit: Debian's 32-bit Wine runs it, under qemu,
# since these machines cannot run 32-bit Linux programs themselves.
if ! have wine32:i386; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    install --no-install-recommends wine32:i386
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
