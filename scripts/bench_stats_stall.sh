#!/usr/bin/env bash
# Benchmark: how long a silent installation takes from start to exit when
# the statistics or the storage service answers normally, answers 500,
# refuses connections or accepts and never answers. Figures only.
# usage: scripts/bench_stats_stall.sh [i686|x86_64]
exec bash "$(dirname "$0")/run_bench.sh" bench_stats_stall.py "$@"
