#!/usr/bin/env bash
# The release with and without a signature, signed with a throw-away
# self-signed certificate made here: the signed program verifies against
# it, and the same file with one byte of its code changed does not.
set -uo pipefail
cd "$(dirname "$0")/.."
work=build/release-test
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0
result() {  # condition status, text
    if [ "$1" -eq 0 ]; then
        echo "ok    $2"
        passed=$((passed + 1))
    else
        echo "FAIL  $2"
        failed=$((failed + 1))
    fi
}

tools/release.sh "$work/plain" >"$work/plain.log" 2>&1 &&
    cmp -s build/win32/eraser.exe "$work/plain/VELDUNIN.EXE" &&
    (cd "$work/plain" && sha256sum --quiet -c SHA256SUMS)
result $? "an unsigned release is the x86 program with its checksum"

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Eraser throw-away signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    >"$work/openssl.log" 2>&1
SIGN_CERT=$work/cert.pem SIGN_KEY=$work/key.pem tools/release.sh "$work/signed" \
    >"$work/signed.log" 2>&1 &&
    osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/VELDUNIN.EXE" >/dev/null 2>&1 &&
    (cd "$work/signed" && sha256sum --quiet -c SHA256SUMS)
result $? "a signed release verifies against its certificate"

# One byte in the middle of the code, changed after signing.
cp "$work/signed/VELDUNIN.EXE" "$work/tampered.exe"
text=$(i686-w64-mingw32-objdump -h "$work/tampered.exe" | awk '$2 == ".text" { print $3, $6 }')
read -r size offset <<<"$text"
at=$((16#$offset + 16#$size / 2))
byte=$(od -An -tu1 -j "$at" -N1 "$work/tampered.exe" | tr -d ' ')
printf "\\$(printf %03o $(((byte + 1) % 256)))" |
    dd of="$work/tampered.exe" bs=1 seek="$at" conv=notrunc status=none
! cmp -s "$work/signed/VELDUNIN.EXE" "$work/tampered.exe" &&
    ! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" >/dev/null 2>&1
result $? "the signed program with one byte of code changed does not verify"

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
