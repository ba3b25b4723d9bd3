#!/usr/bin/env python3
"""A crash of the test build with a dump padded to a given size, reported
to an answering test service: the time from the crash (the log line of the
crash seam) to the end of the process, the dump and body sizes, and the
resident memory of the process's Wine (Linux) process sampled every 20 ms
while the compressed body is being staged and sent (its peak) and over the
whole run (VmHWM). Prints figures only.

Expects the environment of scripts/bench_crash.sh."""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
sys.path.insert(0, os.path.join(TOP, "testing", "service"))
import harness  # noqa: E402
import crash_endpoint  # noqa: E402
import wine_proxy  # noqa: E402
from web_service import WebService  # noqa: E402

MIB = 1024 * 1024
SIZES = [int(s) for s in os.environ.get("BENCH_EXTRA_MIB", "0,5,20").split(",")]
RUNS = int(os.environ.get("BENCH_RUNS", "1"))


def find_linux_pid(name, deadline):
    """The Linux process whose program (first argument) is the Windows
    program |name|; the launcher only names it later on its line."""
    while time.time() < deadline:
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    program = f.read().split(b"\0")[0]
                if program.lower().endswith(name.lower().encode()):
                    return int(entry)
            except OSError:
                pass
        time.sleep(0.02)
    return None


def status_kib(pid, field):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def run_once(service, extra_mib):
    temp = tempfile.mkdtemp(prefix="lite-bench-crash-")
    try:
        env = {"LITE_INSTALLER_TEST_SEAMS": "crash-access-violation",
               "LITE_INSTALLER_SEAM_CRASH_DUMP_EXTRA_BYTES":
                   str(extra_mib * MIB)}
        command = harness.launcher_command(harness.INSTALLER_SEAMS,
                                           ["--silent"], temp, env)
        process = subprocess.Popen(command, env=harness.WINE_ENV,
                                   stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL,
                                   stdin=subprocess.DEVNULL)
        pid = find_linux_pid(harness.INSTALLER_SEAMS, time.time() + 60)
        upload_peak = 0
        hwm = 0
        dump_size = 0
        seen = set()
        staged = None
        while process.poll() is None:
            names = os.listdir(temp)
            seen.update(names)
            staging = any(n.endswith(".upload") for n in names)
            if staging and staged is None:
                staged = datetime.datetime.now()
            for n in names:
                if n.endswith(".dmp"):
                    try:
                        dump_size = max(dump_size, os.path.getsize(
                            os.path.join(temp, n)))
                    except OSError:
                        pass
            if pid:
                rss = status_kib(pid, "VmRSS") or 0
                hwm = max(hwm, status_kib(pid, "VmHWM") or 0)
                if staging:
                    upload_peak = max(upload_peak, rss)
            time.sleep(0.02)
        ended = datetime.datetime.now()
        output = process.stdout.read().decode("utf-8", "replace")
        _, exit_code = harness.parse_launcher_output(output)
        crashed = None
        for record in harness.parse_log(harness.read_log(temp)):
            if record["text"].startswith("Test seam: access violation"):
                crashed = datetime.datetime.strptime(
                    record["date"] + " " + record["time"],
                    "%Y-%m-%d %H:%M:%S.%f")
        seconds = (ended - crashed).total_seconds() if crashed else None
        # The crash to the staging file's appearance: writing the dump.
        dumping = (staged - crashed).total_seconds() \
            if crashed and staged else None
        if os.environ.get("BENCH_DEBUG"):
            print("pid", pid, "files seen", sorted(seen))
        return seconds, dumping, exit_code, dump_size, upload_peak, hwm
    finally:
        shutil.rmtree(temp, True)


def main():
    service = WebService()
    service.start()
    proxy = wine_proxy.PrefixProxy(service, harness.WINE_ENV,
                                   harness.bin_path("add_root_cert.exe"),
                                   harness.WINE)
    proxy.__enter__()
    for command in crash_endpoint.winhttp_proxy_reg_commands(
            service.proxy_address):
        harness.reg(*command)
    try:
        crash_endpoint.add_route(service)
        print("arch %s, %d run(s) per size" % (harness.ARCH, RUNS))
        print("%-8s %8s %8s %11s %9s %14s %9s %10s" % (
            "extra", "dump MiB", "body MiB", "crash-end s", "of it dump",
            "upload RSS MiB", "VmHWM MiB", "exit"))
        for extra in SIZES:
            for _ in range(RUNS):
                service.clear_requests()
                seconds, dumping, code, dump, peak, hwm = run_once(service,
                                                                   extra)
                bodies = [len(r.body) for r in
                          crash_endpoint.crash_requests(service)]
                print("%-8s %8.2f %8s %11s %9s %14.1f %9.1f %#10x" % (
                    "%d MiB" % extra, dump / MIB,
                    "%.2f" % (bodies[0] / MIB) if bodies else "none",
                    "%.2f" % seconds if seconds is not None else "?",
                    "%.2f" % dumping if dumping is not None else "?",
                    peak / 1024.0, hwm / 1024.0, (code or 0) & 0xFFFFFFFF))
    finally:
        for command in crash_endpoint.winhttp_proxy_clear_commands():
            harness.reg(*command)
        proxy.restore()
        service.stop()


if __name__ == "__main__":
    main()
