#!/usr/bin/env bash
# Benchmark of the main window: start to first paint against a plain Win32
# dialog, and the installer's CPU time during an interactive installation
# of a 100 MiB archive. Figures only.
# usage: scripts/bench_window.sh [i686|x86_64]   (BENCH_RUNS, default 5)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
xvfb_start_if_needed
trap '[ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true' EXIT
bash "$top/scripts/run_bench.sh" bench_window.py "$@"
