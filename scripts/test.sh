#!/usr/bin/env bash
# Builds what is missing and runs every test for both architectures: unit
# tests (GoogleTest under Wine), integration tests of the real installer
# under Wine, and the Python checks, in a fresh private Wine prefix.
# Arguments go to CTest (for example -R brand to run some tests only).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh"
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32

# Window tests need a display, started before the prefix and its wine
# server, so that Wine's desktop takes the display's size.
if [ -z "${DISPLAY:-}" ]; then
  # The first display number nobody uses, so that two runs never share
  # one (window tests look at the foreground window).
  n=97
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
    n=$((n + 1))
  done
  export DISPLAY=:$n
  # 1920 x 1040: the installer window at scale 2 fits, and centring has a
  # known work area.
  Xvfb "$DISPLAY" -screen 0 1920x1040x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
  sleep 1
fi

root=${LITE_BUILD_ROOT:-$top/build}
wine_prefix_create "$root/wine/prefix"
wine_server_start
trap 'wine_server_stop; [ -n "${xvfb_pid:-}" ] && kill $xvfb_pid 2>/dev/null || true' EXIT

status=0
for arch in i686 x86_64; do
  if [ "$arch" = i686 ]; then
    echo "=== tests: $arch (32-bit Wine: $LITE_WINE_MODE)"
  else
    echo "=== tests: $arch"
  fi
  (cd "$root/$arch" && ctest --output-on-failure --timeout 600 "$@") || status=1
done
exit $status
