#!/usr/bin/env bash
# Driver files for the trust tests, made from a built driver image:
#   kbdsigned.sys   signed with a test certificate made here (SHA-1)
#   kbdaltered.sys  signed, then one byte of its code changed (the digest no longer matches)
#   kbdplain.sys    not signed
#   kbdstranger.sys signed with a second certificate that no test ever trusts
#   signing-cert.der the first certificate, for the tests to put among the trusted roots
# Usage: make-trust-fixtures.sh DRIVER_IMAGE OUT_DIR
set -euo pipefail
image="$1"
out="$2"
mkdir -p "$out"
cd "$out"
if [ ! -f signing-cert.pem ]; then
  openssl req -x509 -newkey rsa:2048 -sha1 -nodes -days 3650 -subj "/CN=Varnel Test Signing" \
    -keyout signing-key.pem -out signing-cert.pem >/dev/null 2>&1
fi
if [ ! -f stranger-cert.pem ]; then
  openssl req -x509 -newkey rsa:2048 -sha1 -nodes -days 3650 -subj "/CN=Unknown Signer" \
    -keyout stranger-key.pem -out stranger-cert.pem >/dev/null 2>&1
fi
openssl x509 -in signing-cert.pem -outform der -out signing-cert.der
cp "$image" kbdplain.sys
rm -f kbdsigned.sys
osslsigncode sign -certs signing-cert.pem -key signing-key.pem -h sha1 -in kbdplain.sys -out kbdsigned.sys >/dev/null
rm -f kbdstranger.sys
osslsigncode sign -certs stranger-cert.pem -key stranger-key.pem -h sha1 -in kbdplain.sys -out kbdstranger.sys >/dev/null
cp kbdsigned.sys kbdaltered.sys
# The first section's data starts at 0x400 in the images the build makes.
printf '\xCC' | dd of=kbdaltered.sys bs=1 seek=$((0x400)) conv=notrunc status=none
