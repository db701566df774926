#!/usr/bin/env bash
# tools/wine32.sh DIR: Debian's 32-bit Wine, of the version of the
# machine's wine64, unpacked with every library it needs into DIR/root.
#
# Nothing is installed on the machine: i386 gets an apt state of its own in
# DIR/apt (lists, status, downloaded packages), so the machine's package
# database is untouched and needs no i386 architecture, and the versions of
# the machine's own amd64 libraries do not matter. The 32-bit loader then
# runs under qemu: DIR/root/usr/lib/wine/wine is a wrapper that starts
# the real loader, DIR/root/usr/lib/wine/wine-i386, with
# `qemu-i386-static -L DIR/root`, so that its libraries come from the root.
#
# Does nothing when DIR/root is complete for this version; the downloaded
# packages stay in DIR/apt/cache for the next unpacking.
set -euo pipefail
. "$(dirname "$0")/apt_helpers.sh"

dir=$(realpath -m "$1")
root=$dir/root
state=$dir/apt
version=$(dpkg-query -W -f='${Version}' wine64)
stamp=$root/.complete
done="wine32 $version, loader wrapper 2, fonts"
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$done" ] && exit 0

echo "setup: unpacking the 32-bit Wine $version into ${root#"$PWD"/}"
mkdir -p "$state/lists/partial" "$state/cache/partial"
[ -f "$state/status" ] || : >"$state/status"
apt_i386=(-o "Dir::State::Lists=$state/lists" -o "Dir::State::status=$state/status"
          -o "Dir::Cache=$state/cache" -o "Dir::Cache::archives=$state/cache"
          -o APT::Architecture=i386 -o APT::Architectures::=i386 -o Debug::NoLocking=1
          -o APT::Install-Recommends=false)
log=$state/apt.log

# Wine's own fonts come too: without Marlett the close button of a box's
# title bar reads "r".
packages=("wine32=$version" "fonts-wine=$version")

# Only a package that cannot be had stops us, not an index that cannot be read.
update_lists "the i386 update" "$log" "${apt_i386[@]}"
if ! apt-get "${apt_i386[@]}" -y -qq --download-only install "${packages[@]}" >"$log" 2>&1; then
    echo "setup: cannot fetch the 32-bit Wine (wine32:i386 and fonts-wine $version):" >&2
    apt_reason "$log"
    exit 1
fi

# Exactly the packages of this version, named as apt stores them (an
# epoch's colon is %3a): the cache may also hold those of an older one.
debs=()
while read -r pkg ver arch; do
    file=$state/cache/${pkg}_${ver//:/%3a}_${arch}.deb
    [ -f "$file" ] || { echo "setup: $file was not downloaded" >&2; exit 1; }
    debs+=("$file")
done < <(apt-get "${apt_i386[@]}" -s install "${packages[@]}" 2>/dev/null |
         sed -n 's/^Inst \([^ ]*\) (\([^ ]*\) [^[]*\[\([a-z0-9]*\)\]).*/\1 \2 \3/p')

rm -rf "$root"
mkdir -p "$root"
for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$root"
done

# What the maintainer scripts would have done and dpkg -x does not.
# libwine's makes Wine's builtin zlib1.dll from mingw's, marked as builtin
# in the 16 bytes after the DOS header; without it USER32 cannot load.
wine_dlls=$root/usr/lib/i386-linux-gnu/wine/i386-windows
python3 - "$root/usr/i686-w64-mingw32/lib/zlib1.dll" "$wine_dlls/zlib1.dll" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[64:96] = b"Wine builtin DLL" + bytes(16)
open(sys.argv[2], "wb").write(data)
EOF
# A library cache of the root's own, or the loader finds no FreeType (and
# boxes are drawn without their text).
printf '%s\n' /lib/i386-linux-gnu /usr/lib/i386-linux-gnu >"$root/etc/ld.so.conf"
ldconfig -r "$root"

# These machines cannot run 32-bit Linux programs, so the loader runs
# under qemu, which is told where the root is. Wine starts the loader for
# a new 32-bit process as `wine` from the folder of its own ntdll when a
# 64-bit process asks, and as its own argv[0] when a 32-bit one does (the
# elevated copy): the wrapper takes the loader's place, and qemu gives the
# loader the wrapper's name as argv[0], so both come back to it. Without
# that, a 32-bit program cannot start another ("Exec format error").
#
# qemu gives a 32-bit guest 4 GiB of addresses and the loader's stack at
# their top; Wine then reserves everything between 2 GiB and that stack in
# halves down to 64 KiB, and qemu 7, which ignores MAP_FIXED_NOREPLACE,
# places and frees each try elsewhere: a minute a start. With the guest
# ending 16 MiB above 2 GiB and an 8 MiB stack, the stack sits above the
# shared user data page at 0x7ffe0000 and there is almost nothing left to
# reserve: a start takes 2 to 3 seconds.
loader=$root/usr/lib/wine
mv "$loader/wine" "$loader/wine-i386"
cat >"$loader/wine" <<EOF
#!/bin/sh
export WINELOADERNOEXEC=1
exec /usr/bin/qemu-i386-static -L '$root' -0 '$loader/wine' -R 0x81000000 -s 0x800000 \\
    '$loader/wine-i386' "\$@"
EOF
chmod 755 "$loader/wine"

echo "$done" >"$stamp"
echo "setup: the 32-bit Wine is in ${root#"$PWD"/} ($(du -sh "$root" | cut -f1), ${#debs[@]} packages)"
