#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, if it is
# missing: the mingw-w64 cross compilers, Wine, the Japanese locale,
# CMake, GoogleTest, clang's fuzzer runtime, pefile, and for the demo a
# virtual display with a Japanese font.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in mingw-w64 wine64 locales cmake make g++ googletest libgtest-dev clang \
           libclang-rt-14-dev python3 python3-pefile xvfb xauth fonts-ipafont-gothic imagemagick; do
    have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "setup: installing ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
