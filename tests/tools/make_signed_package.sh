#!/usr/bin/env bash
# Makes a package of ZIP with STUB and signs it with Authenticode, as an author would after
# building it: a throw-away certificate made here, the signature appended after the archive.
# Usage: make_signed_package.sh STUB ZIP OUT
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/../../tools/make_package.py" "$1" "$2" "$work/package.exe"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Zelvix test signer" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/package.exe" -out "$work/signed.exe" >/dev/null
mv "$work/signed.exe" "$3"
