#!/usr/bin/env bash
# Signs Windows programs and installers with Authenticode (osslsigncode), each in place, when a
# certificate and its key are given:
#   TESSAREL_SIGN_CERT  the certificate, with the chain up to its issuer, in PEM
#   TESSAREL_SIGN_KEY   its private key, in PEM, without a passphrase
# Given neither, it leaves the files as they are; given one alone, it fails rather than let an
# unsigned release through. The signing time is SOURCE_DATE_EPOCH, so that a file signed again
# with the same key is the same bytes.
#   sign.sh FILE...
set -euo pipefail
cert=${TESSAREL_SIGN_CERT:-}
key=${TESSAREL_SIGN_KEY:-}
[ -z "$cert" ] && [ -z "$key" ] && exit 0
if [ -z "$cert" ] || [ -z "$key" ]; then
    echo "sign.sh: TESSAREL_SIGN_CERT and TESSAREL_SIGN_KEY go together" >&2
    exit 1
fi
time=${SOURCE_DATE_EPOCH:?sign.sh: SOURCE_DATE_EPOCH must say the signing time}
for file in "$@"; do
    rm -f "$file.signed"
    osslsigncode sign -certs "$cert" -key "$key" -h sha256 -time "$time" \
        -n Tessarel -i https://tessarel.org/ -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
done
