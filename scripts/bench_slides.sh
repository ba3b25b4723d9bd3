#!/usr/bin/env bash
# The slide show's memory and CPU under Wine (see bench_slides.py); prints
# figures. usage: scripts/bench_slides.sh [i686|x86_64]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
bash "$top/scripts/build.sh" >/dev/null
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
xvfb_start_if_needed
wine_prefix_create "$top/build/wine/bench-prefix"
wine_server_start
trap 'wine_server_stop; [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true' EXIT
export LITE_BUILD_DIR="$top/build/$arch" LITE_ARCH="$arch"
python3 "$top/scripts/bench_slides.py"
