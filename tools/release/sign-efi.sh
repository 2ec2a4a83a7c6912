#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Signs an EFI image for Secure Boot with your db key and certificate.
#
#   tools/release/sign-efi.sh KEY CERT [IMAGE [SIGNED]]
#
# KEY and CERT are PEM files (openssl's defaults). IMAGE defaults to
# build/efi/aa64/addbootentryaa64.efi; the signed copy goes to SIGNED, by default
# signed/<name>.efi beside IMAGE. The signature is checked against CERT before
# the copy is kept, and CERT is also written in DER form (<cert name>.cer
# beside the signed copy), the form firmware menus enrol from a file. A key
# with a password is asked for it twice (by openssl, then by sbsign).
set -eu

fail() {
  echo "sign-efi: $*" >&2
  exit 1
}

[ $# -ge 2 ] && [ $# -le 4 ] || fail "usage: $0 KEY CERT [IMAGE [SIGNED]]"
key=$1
cert=$2
image=${3:-$(dirname "$0")/../../build/efi/aa64/addbootentryaa64.efi}
signed=${4:-$(dirname "$image")/signed/$(basename "$image")}
cert_name=$(basename "$cert")
der=$(dirname "$signed")/${cert_name%.*}.cer

for tool in openssl sbsign sbverify; do
  command -v "$tool" >/dev/null || fail "$tool not found (tools/setup.sh installs it)"
done
[ -r "$image" ] || fail "no image $image (build first: cmake --build build)"
[ "$der" -ef "$cert" ] && fail "$der would overwrite the certificate; give another SIGNED place"
# sbsign's own messages for these three faults are OpenSSL error stacks;
# asking openssl first gives one line that names the file at fault.
cert_key=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) ||
  fail "$cert is not a PEM X.509 certificate"
own_key=$(openssl pkey -in "$key" -pubout 2>/dev/null) ||
  fail "$key is not a PEM private key (or its password was wrong)"
[ "$cert_key" = "$own_key" ] || fail "$key is not the private key of $cert"

mkdir -p "$(dirname "$signed")"
unverified="$signed.unverified"
trap 'rm -f "$unverified"' EXIT
sbsign --key "$key" --cert "$cert" --output "$unverified" "$image" >/dev/null 2>&1 ||
  fail "sbsign could not sign $image"
sbverify --cert "$cert" "$unverified" >/dev/null 2>&1 ||
  fail "the signature on $signed does not verify against $cert"
mv "$unverified" "$signed"
openssl x509 -in "$cert" -outform DER -out "$der"
echo "signed: $signed ($(wc -c <"$signed") bytes)"
echo "certificate to enrol in db: $der"
