#!/usr/bin/env bash
# Benchmark: a crash of the test build reported to an answering test
# service with dumps padded to 0, 5 and 20 MiB: time from the crash to the
# process end, and the process's resident memory while the report body is
# staged and sent. Figures only.
# usage: scripts/bench_crash.sh [i686|x86_64]   (BENCH_EXTRA_MIB, BENCH_RUNS)
exec bash "$(dirname "$0")/run_bench.sh" bench_crash.py "$@"
