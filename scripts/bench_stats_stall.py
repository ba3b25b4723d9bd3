#!/usr/bin/env python3
"""Start-to-exit time of a silent installation of the test build against
the test service, with the statistics host and the storage host each
answering normally, answering 500, refusing connections or accepting and
never answering; median of runs, with the exit code and how many
statistics requests arrived. Prints figures only.

Expects the environment of scripts/bench_stats_stall.sh."""
import os
import statistics
import sys
import tempfile
import shutil
import time

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
import harness  # noqa: E402
import install_env  # noqa: E402
import stats_endpoints  # noqa: E402

RUNS = int(os.environ.get("BENCH_RUNS", "3"))
CASES = [
    ("both services answer", {}, {}, None),
    ("statistics host answers 500", {"status": 500}, {}, None),
    ("statistics host refuses", {}, {}, stats_endpoints.STATS_HOST),
    ("statistics host never answers", {"hang": True}, {}, None),
    ("storage host answers 500", {}, {"status": 500}, None),
    ("storage host refuses", {}, {}, stats_endpoints.STORAGE_HOST),
    ("storage host never answers", {}, {"hang": True}, None),
]


def run_once(service):
    temp = tempfile.mkdtemp(prefix="lite-bench-stats-")
    try:
        started = time.monotonic()
        result = harness.run_program(harness.INSTALLER_SEAMS, ["--silent"],
                                     temp_dir=temp, timeout=300)
        return time.monotonic() - started, result.exit_code
    finally:
        shutil.rmtree(temp, True)


def main():
    environment = install_env.environment
    environment.start()
    service = environment.service
    try:
        print("%-32s %9s %5s %6s" % ("case", "seconds", "exit", "events"))
        for name, stats, report, refused in CASES:
            stats_endpoints.add_routes(service, stats, report)
            if refused:
                service.refuse_host(refused)
            times, codes, counts = [], set(), []
            for _ in range(RUNS):
                service.clear_requests()
                seconds, code = run_once(service)
                times.append(seconds)
                codes.add(code)
                counts.append(len(stats_endpoints.stat_events(service)))
            if refused:
                service.refuse_host(refused, False)
            print("%-32s %9.2f %5s %6s" % (
                name, statistics.median(times),
                ",".join(str(c) for c in sorted(codes)),
                ",".join(str(c) for c in counts)))
    finally:
        environment.stop()


if __name__ == "__main__":
    main()
