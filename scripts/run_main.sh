#!/usr/bin/env bash
# The installer's main job: builds what is missing, then runs the shipped
# 32-bit installer under Wine in a private prefix with --silent, and prints
# its log and its full exit code.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh"
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
# The shipped build is the 32-bit one; where 32-bit Wine cannot start
# (see require_wine32) the 64-bit build runs instead, and says so.
arch=${LITE_ARCH:-i686}
loader=wine
if [ "$arch" = i686 ] && [ -n "${LITE_I686_UNRUNNABLE:-}" ]; then
  echo "NOTE: $LITE_I686_UNRUNNABLE; running the x86_64 build instead"
  arch=x86_64
fi
[ "$arch" = x86_64 ] && loader=wine64
wine_prefix_create "$top/build/wine/main-prefix"
wine_server_start
trap wine_server_stop EXIT

temp_unix="$top/build/wine/main-temp"
rm -rf "$temp_unix" && mkdir -p "$temp_unix"
temp_win="Z:${temp_unix//\//\\}"
echo "Running lite_installer.exe ($arch) --silent"
timeout 600 "$loader" "$top/build/$arch/bin/exit_code_launcher.exe" \
  --env "TEMP=$temp_win" --env "TMP=$temp_win" \
  "$top/build/$arch/bin/lite_installer.exe" --silent | tr -d '\r'
echo "--- lite_installer.log"
cat "$temp_unix/lite_installer.log"
