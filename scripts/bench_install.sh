#!/usr/bin/env bash
# Benchmark: a silent installation against the test service with a 100 MiB
# signed archive, split into download, verification, setup and the
# installer's own overhead, against osslsigncode verify on the same file.
# Figures only. usage: scripts/bench_install.sh [i686|x86_64]
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
python3 "$top/scripts/bench_install.py"
