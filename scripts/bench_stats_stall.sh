#!/usr/bin/env bash
# Benchmark: how long a silent installation takes from start to exit when
# the statistics or the storage service answers normally, answers 500,
# refuses connections or accepts and never answers. Figures only.
# usage: scripts/bench_stats_stall.sh [i686|x86_64]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh"
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
arch=${1:-i686}
wine_prefix_create "$top/build/wine/bench-prefix"
wine_server_start
trap wine_server_stop EXIT
export LITE_BUILD_DIR="$top/build/$arch" LITE_ARCH="$arch"
python3 "$top/scripts/bench_stats_stall.py"
