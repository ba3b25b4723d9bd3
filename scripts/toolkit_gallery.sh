#!/usr/bin/env bash
# Writes a screenshot gallery of the window toolkit (PNG files under
# build/x86_64/gallery/): the control showcase's first screen, progress
# screen and every control state, in both variants, at scale factors 1, 1.5
# and 2, each cropped to the window and its shadow. Not a test: for people
# to look at.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${ARCH:-x86_64}
bash "$top/scripts/build.sh" >/dev/null
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
xvfb_start_if_needed
wine_prefix_create "$top/build/wine/gallery-prefix"
wine_server_start
trap 'wine_server_stop; [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true' EXIT
out="$top/build/$arch/gallery"
mkdir -p "$out"
LITE_BUILD_DIR="$top/build/$arch" LITE_ARCH=$arch \
  python3 "$top/scripts/toolkit_gallery.py" "$out"
