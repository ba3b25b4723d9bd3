#!/usr/bin/env bash
# Signs a built program in place with the test code-signing certificate.
# usage: sign_file.sh CERT_DIR FILE
set -euo pipefail
dir=$1 file=$2
osslsigncode sign -certs "$dir/signer.crt" -key "$dir/signer.key" \
  -n "Kelvra Browser Installer" -h sha256 -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
