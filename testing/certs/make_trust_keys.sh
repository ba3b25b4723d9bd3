#!/usr/bin/env bash
# Makes the ten throw-away RSA keys (1024-bit, indices 0 to 9) that test
# builds of the installer trust for the signature of a setup archive's
# certificate list. Writes key<N>.pem (private) and public_keys.txt (the
# Base64 DER SubjectPublicKeyInfo of each, one a line, in index order).
# Nothing made here is ever built into a shipped installer.
# usage: make_trust_keys.sh OUTPUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
: > public_keys.txt.tmp
for n in 0 1 2 3 4 5 6 7 8 9; do
  openssl genrsa -out "key$n.pem" 1024 2>/dev/null
  openssl rsa -in "key$n.pem" -pubout -outform DER 2>/dev/null | base64 -w0 >> public_keys.txt.tmp
  echo >> public_keys.txt.tmp
done
mv -f public_keys.txt.tmp public_keys.txt
