#!/usr/bin/env python3
"""Wall time of a silent installation against the test service with a
100 MiB signed archive, split into download, verification, setup and the
installer's own overhead (everything else between its first and last log
line), median of runs; and osslsigncode verify on the same file in the
same run. Prints figures only.

Expects the environment of scripts/bench_install.sh."""
import datetime
import os
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
import harness  # noqa: E402
import install_env  # noqa: E402

RUNS = int(os.environ.get("BENCH_RUNS", "3"))


def stamp(line):
    return datetime.datetime.strptime(line[:23], "%Y-%m-%d %H:%M:%S.%f")


def first(lines, text):
    return next(stamp(l) for l in lines if text in l)


def split(lines):
    start, end = stamp(lines[0]), stamp(lines[-1])
    download = first(lines, "Module downloaded: ") - \
        first(lines, "Try to download module:")
    verify = first(lines, "Verification succeeded: ") - \
        first(lines, "Verifying ")
    setup = first(lines, "Setup process exit with code: ") - \
        first(lines, "Run: ")
    total = end - start
    parts = [d.total_seconds() for d in (download, verify, setup, total)]
    return parts + [parts[3] - parts[0] - parts[1] - parts[2]]


def main():
    environment = install_env.environment
    environment.start()
    work = tempfile.mkdtemp(prefix="lite-bench-install-")
    try:
        archive = environment.build_padded_archive(work)
        environment.serve_archive(file=archive)
        size = os.path.getsize(archive)
        rows = []
        for _ in range(RUNS):
            temp = tempfile.mkdtemp(prefix="run-", dir=work)
            began = time.monotonic()
            result = harness.run_program(harness.INSTALLER_SEAMS, ["--silent"],
                                         temp_dir=temp, timeout=900)
            wall = time.monotonic() - began
            if result.exit_code != 0:
                print("run failed with exit code %d" % result.exit_code)
                return 1
            rows.append(split(harness.read_log(temp)) + [wall])
        verify_times = []
        for _ in range(RUNS):
            began = time.monotonic()
            subprocess.run(["osslsigncode", "verify", "-in", archive,
                            "-CAfile",
                            os.path.join(environment.pki, "root.crt")],
                           stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            verify_times.append(time.monotonic() - began)
        names = ["download", "verification", "setup", "installer log span",
                 "installer overhead", "wall (with Wine start-up)"]
        print("archive: %d bytes (%.1f MiB), %s, %d runs, medians in s"
              % (size, size / 1048576.0, harness.ARCH, RUNS))
        for i, name in enumerate(names):
            print("%-28s %8.3f" % (name, statistics.median(r[i] for r in rows)))
        print("%-28s %8.3f" % ("osslsigncode verify",
                               statistics.median(verify_times)))
        return 0
    finally:
        environment.stop()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    sys.exit(main())
