#!/usr/bin/env bash
# Builds the program again in other ways and checks what must hold of them:
#  - a second build of the same source in another folder gives the same bytes;
#  - the binary check refuses an x86 build for the Pentium Pro (i686) and a
#    build linked without the hardening flags, so a slip in either is caught.
#   tests/check_builds.sh
set -euo pipefail
cd "$(dirname "$0")/.."
PYTHON=/usr/bin/python3

build() {  # folder, toolchain, cmake options...
    local dir=$1 toolchain=$2
    shift 2
    rm -rf "$dir"
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" \
          -DCMAKE_BUILD_TYPE=MinSizeRel "$@" >/dev/null
    cmake --build "$dir" --target eraser >/dev/null
}

passed=0
failed=0
for pair in win32:mingw-i686 win64:mingw-x86_64; do
    arch=${pair%%:*}
    first=build/$arch/eraser.exe second=build/again/$arch/eraser.exe
    build "build/again/$arch" "${pair#*:}"
    if cmp -s "$first" "$second"; then
        echo "ok    $arch: a second build in another folder is byte for byte the same"
        passed=$((passed + 1))
    else
        echo "FAIL  $arch: a second build differs: $(cmp "$first" "$second" | head -1)"
        failed=$((failed + 1))
    fi
done

build build/refused/i686 mingw-i686 -DERASER_MARCH=i686
build build/refused/unhardened-win32 mingw-i686 -DERASER_HARDEN=OFF
build build/refused/unhardened-win64 mingw-x86_64 -DERASER_HARDEN=OFF
if $PYTHON tests/check_binaries.py --rejects=instructions build/refused/i686/eraser.exe &&
   $PYTHON tests/check_binaries.py --rejects=hardening build/refused/unhardened-win32/eraser.exe \
        build/refused/unhardened-win64/eraser.exe; then
    echo "ok    the binary check refuses an i686 build and unhardened builds"
    passed=$((passed + 1))
else
    echo "FAIL  the binary check let a faulty build pass"
    failed=$((failed + 1))
fi
echo "builds: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
