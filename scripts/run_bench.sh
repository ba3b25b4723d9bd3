#!/usr/bin/env bash
# Runs one Python benchmark of scripts/ against a build under Wine: builds
# what is missing, makes the benchmark prefix, keeps one wine server for the
# run. usage: scripts/run_bench.sh SCRIPT.py [i686|x86_64]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
script=$1
arch=${2:-i686}
bash "$top/scripts/build.sh"
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
wine_prefix_create "$top/build/wine/bench-prefix"
wine_server_start
trap wine_server_stop EXIT
export LITE_BUILD_DIR="$top/build/$arch" LITE_ARCH="$arch"
python3 "$top/scripts/$script"
