#!/usr/bin/env bash
# Writes the release: DIST/VELDUNIN.EXE, the x86 program under the name the
# package installs, and DIST/SHA256SUMS. With SIGN_CERT and SIGN_KEY (a
# code-signing certificate and its private key, PEM or DER) the program is
# signed with Authenticode and the signature verified before the sums are
# written; SIGN_PASS_FILE holds the key's password if it has one, and
# SIGN_CA the certificates to verify against (by default SIGN_CERT itself,
# which is what a self-signed certificate needs).
#   tools/release.sh [DIST]            (default: dist)
set -euo pipefail
cd "$(dirname "$0")/.."
dist=${1:-dist}
program=build/win32/eraser.exe
description="碧環デスクトップアクセサリー アンインストール"

[ -f "$program" ] || { echo "release: $program is not built" >&2; exit 1; }
if [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ] && [ -z "${SIGN_CERT:-}" -o -z "${SIGN_KEY:-}" ]; then
    echo "release: signing needs both SIGN_CERT and SIGN_KEY" >&2
    exit 1
fi

rm -rf "$dist"
mkdir -p "$dist"
log=$dist/osslsigncode.log
# No program is left behind when signing or its verification fails.
refuse() {
    cat "$log" >&2
    rm -f "$dist/VELDUNIN.EXE" "$log"
    echo "release: $1" >&2
    exit 1
}
if [ -n "${SIGN_CERT:-}" ]; then
    pass=()
    [ -z "${SIGN_PASS_FILE:-}" ] || pass=(-readpass "$SIGN_PASS_FILE")
    osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" "${pass[@]}" -h sha256 \
        -n "$description" -in "$program" -out "$dist/VELDUNIN.EXE" >"$log" 2>&1 ||
        refuse "signing failed"
    osslsigncode verify -CAfile "${SIGN_CA:-$SIGN_CERT}" -in "$dist/VELDUNIN.EXE" >"$log" 2>&1 ||
        refuse "the signed program does not verify"
    rm -f "$log"
    echo "release: signed and verified"
else
    cp "$program" "$dist/VELDUNIN.EXE"
fi
(cd "$dist" && sha256sum VELDUNIN.EXE >SHA256SUMS)
echo "release: $dist/VELDUNIN.EXE ($(stat -c %s "$dist/VELDUNIN.EXE") bytes)"
cat "$dist/SHA256SUMS"
