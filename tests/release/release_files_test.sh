#!/usr/bin/env bash
# The release files made twice from one build (./tessarel.sh package), the second time under
# another umask and time zone, both signed with a throwaway certificate made here: the same
# bytes; the installer and the programs verify against that certificate and no other, at
# the time of SOURCE_DATE_EPOCH; a byte changed after signing fails it; a certificate without
# its key signs nothing.   release_files_test.sh SOURCE_DIR
set -uo pipefail
cd "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessarel test $1" \
        -addext extendedKeyUsage=codeSigning -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}
if ! certificate signer || ! certificate stranger; then
    echo "FAILED: openssl made no certificate"
    exit 1
fi
export TESSAREL_SIGN_CERT=$work/signer.pem TESSAREL_SIGN_KEY=$work/signer.key
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

(umask 022 && TZ=UTC ./tessarel.sh package "$work/first") &&
    (umask 077 && TZ=Asia/Kathmandu ./tessarel.sh package "$work/second") ||
    { echo "FAILED: the packaging step"; exit 1; }
cat "$work/first/SHA256SUMS"
diff "$work/first/SHA256SUMS" "$work/second/SHA256SUMS" || fail "packaged twice, different files"
[ "$(wc -l <"$work/first/SHA256SUMS")" -eq 5 ] ||
    fail "not a .deb, a zip, an installer and two programs"

verifies() {  # verifies CERTIFICATE FILE
    osslsigncode verify -CAfile "$work/$1.pem" -in "$2" >"$work/verify.txt" 2>&1
}
signed_at=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%b %e %H:%M:%S %Y GMT')
installer=$(ls "$work"/first/*-setup.exe)
unzip -q "$work"/first/*.zip -d "$work/unzipped"
for file in "$installer" "$work"/first/tessarel.exe "$work"/unzipped/*/tessarelw.exe; do
    name=${file##*/}
    verifies signer "$file" || fail "$name does not verify: $(cat "$work/verify.txt")"
    grep -qF "Signing time: $signed_at" "$work/verify.txt" ||
        fail "$name is not signed at $signed_at"
    verifies stranger "$file" && fail "$name verifies against another certificate"
done
# One byte of the installer's data changed after signing.
cp "$installer" "$work/changed.exe"
at=$(($(stat -c %s "$installer") / 2))
byte=$(od -An -tu1 -j "$at" -N 1 "$installer" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
    dd of="$work/changed.exe" bs=1 seek="$at" conv=notrunc status=none
verifies signer "$work/changed.exe" && fail "a changed installer still verifies"

cp "$work"/unzipped/*/tessarel.exe "$work/keyless.exe"
(unset TESSAREL_SIGN_KEY && packaging/windows/sign.sh "$work/keyless.exe") 2>/dev/null &&
    fail "signing with a certificate and no key went on"

[ "$failures" -eq 0 ] || exit 1
echo "release files the same twice; signatures verify, and fail when a byte changes"
