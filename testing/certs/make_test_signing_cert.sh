#!/usr/bin/env bash
# Makes a throw-away test CA and a code-signing certificate issued by it,
# used to sign the test builds so that tags can be read from a real
# certificate table. Nothing made here ever signs a shipped build.
# usage: make_test_signing_cert.sh OUTPUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 3650 \
  -subj "/CN=Kelvra Test Root CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Kelvra Test Code Signing" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext
openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial \
  -out signer.crt -days 3650 -sha256 -extfile signer.ext 2>/dev/null
rm -f signer.csr signer.ext
