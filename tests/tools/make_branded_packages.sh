#!/usr/bin/env bash
# Makes the branded packages of the end-to-end tests (tests/e2e/branded_package_test.cpp, which
# holds the same title and version information): with zelvix-pack PACK, from STUB and ZIP,
# an icon of three images (make_icon.py), the title and the version information below; then
# the same package signed with Authenticode by a throw-away key made here, as an author would.
# Usage: make_branded_packages.sh PACK STUB ZIP OUTDIR  (writes branded.ico, branded.exe,
# branded-signed.exe)
set -euo pipefail
pack=$1 stub=$2 zip=$3 out=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
python3 "$(dirname "$0")/make_icon.py" "$out/branded.ico"
"$pack" -o "$work/branded.exe" --icon "$out/branded.ico" --title "Zelvix Demo Setup – Übersicht" \
  --version-info 'ProductName=Zelvix Demo,FileVersion=1.2.3.4,ProductVersion=1.2,CompanyName=ACME\, Inc.,FileDescription=Démo package,LegalCopyright=© 2026 ACME' \
  "$stub" "$zip" >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Zelvix test signer" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/branded.exe" -out "$work/signed.exe" >/dev/null
mv "$work/branded.exe" "$out/branded.exe"
mv "$work/signed.exe" "$out/branded-signed.exe"
