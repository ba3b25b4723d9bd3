#!/usr/bin/env bash
# Benchmark: a crash of the test build reported to an answering test
# service with dumps padded to 0, 5 and 20 MiB: time from the crash to the
# process end, and the process's resident memory while the report body is
# staged and sent. Figures only.
# usage: scripts/bench_crash.sh [i686|x86_64]   (BENCH_EXTRA_MIB, BENCH_RUNS)
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
python3 "$top/scripts/bench_crash.py"
