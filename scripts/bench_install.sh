#!/usr/bin/env bash
# Benchmark: a silent installation against the test service with a 100 MiB
# signed archive, split into download, verification, setup and the
# installer's own overhead, against osslsigncode verify on the same file.
# Figures only. usage: scripts/bench_install.sh [i686|x86_64]
exec bash "$(dirname "$0")/run_bench.sh" bench_install.py "$@"
