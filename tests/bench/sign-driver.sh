#!/usr/bin/env bash
# Signs a driver image in place with the bench's driver-signing certificate,
# made in SIGNING_DIR on first use, as its maker signs the real driver. The
# bench prefix trusts that certificate's root (prefix.sh), so the signature
# check finds the driver trusted as on a Windows machine.
# Usage: sign-driver.sh IMAGE SIGNING_DIR
set -euo pipefail
image="$1"
dir="$2"
mkdir -p "$dir"
if [ ! -f "$dir/bench-signing.der" ]; then
  openssl req -x509 -newkey rsa:2048 -sha1 -nodes -days 3650 -subj "/CN=Varnel Bench Driver Signing" \
    -keyout "$dir/bench-signing.key" -out "$dir/bench-signing.pem" >/dev/null 2>&1
  openssl x509 -in "$dir/bench-signing.pem" -outform der -out "$dir/bench-signing.der"
fi
unsigned="$image.unsigned"
rm -f "$unsigned" "$image.signed"
# Signing again replaces an earlier signature.
osslsigncode remove-signature -in "$image" -out "$unsigned" >/dev/null 2>&1 || cp "$image" "$unsigned"
osslsigncode sign -certs "$dir/bench-signing.pem" -key "$dir/bench-signing.key" -h sha1 \
  -in "$unsigned" -out "$image.signed" >/dev/null
mv "$image.signed" "$image"
rm -f "$unsigned"
