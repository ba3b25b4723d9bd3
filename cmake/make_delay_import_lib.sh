#!/usr/bin/env bash
# Makes a delay-import library for one system DLL from mingw-w64's ordinary
# import library: the exported names are read from its __imp_ symbols.
# usage: make_delay_import_lib.sh TRIPLE DLL_BASENAME OUTPUT.a
set -euo pipefail
triple=$1 dll=$2 out=$3
lib=/usr/$triple/lib/lib$dll.a
def=${out%.a}.def
{
  echo "LIBRARY $dll.dll"
  echo "EXPORTS"
  "$triple-nm" -g --defined-only "$lib" | awk '$2 == "I" { print $3 }' |
    grep '^__imp_' | sed -e 's/^__imp_//' |
    { if [ "$triple" = i686-w64-mingw32 ]; then sed -e 's/^_//'; else cat; fi; } |
    sort -u
} > "$def"
# dlltool names the library's delay-import descriptor after the output
# name it is given (__DELAY_IMPORT_DESCRIPTOR_lib<dll>_delay_a): run it in
# the output's folder so that the name does not depend on the build path.
cd "$(dirname "$out")"
if [ "$triple" = i686-w64-mingw32 ]; then
  "$triple-dlltool" -k -d "$def" -y "$(basename "$out")" -D "$dll.dll"
else
  "$triple-dlltool" -d "$def" -y "$(basename "$out")" -D "$dll.dll"
fi
