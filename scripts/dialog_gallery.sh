#!/usr/bin/env bash
# Writes screenshots of every notice and error dialog variant (English and
# Russian, and one at scale 1.5) to docs/dialogs/, the pictures the README
# shows. Not a test: run it again after changing the dialogs' look.
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
out=${OUT:-$top/docs/dialogs}
mkdir -p "$out"
LITE_BUILD_DIR="$top/build/$arch" LITE_ARCH=$arch \
  python3 "$top/scripts/dialog_gallery.py" "$out"
