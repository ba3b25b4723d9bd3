#!/usr/bin/env python3
"""The main window's costs under Wine, figures only:

- start to first paint: from starting the installer (test build) to the
  first paint of its main window and of every visible control on it (its
  "First complete paint done" log line), against the control showcase's
  plain Win32 dialog with standard controls (--plain --bench, which also
  paints its controls before it reports) started the same way, in the
  same run; medians of RUNS and their ratio;
- CPU time of the installer's processes (Linux utime + stime of every Wine
  process of the installer's image, read from /proc: the first one and the
  elevated copy it starts for an administrator, which runs the setup)
  during an interactive installation of a 100 MiB archive: in all, over
  5 s idle on the first screen after the download, and over 5 s idle on
  the progress screen (the 20 ms slide timer is the window's only periodic
  work there).

Expects the environment of scripts/bench_window.sh (DISPLAY too)."""
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
from main_window import MainWindowDriver  # noqa: E402

RUNS = int(os.environ.get("BENCH_RUNS", "5"))
SEAMS = {"LITE_INSTALLER_TEST_SEAMS": "log-window-progress"}
TICKS = os.sysconf("SC_CLK_TCK")


def installer_first_paint(work):
    temp = tempfile.mkdtemp(prefix="paint-", dir=work)
    log = os.path.join(temp, "lite_installer.log")
    began = time.monotonic()
    # Through the launcher, which gives the program its TEMP (Wine takes
    # TEMP from the prefix's registry otherwise).
    process = subprocess.Popen(
        harness.launcher_command(harness.INSTALLER_SEAMS, [], temp, SEAMS),
        env=harness.WINE_ENV, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    elapsed = None
    pid = None
    while time.monotonic() - began < 300:
        lines = harness.read_log(temp) if os.path.exists(log) else []
        done = [l for l in lines if "First complete paint done" in l]
        if done:
            elapsed = time.monotonic() - began
            pid = int(done[0].split()[2].split(":")[0])
            break
        time.sleep(0.005)
    if pid is not None:
        subprocess.run([harness.WINE, "taskkill", "/F", "/PID", str(pid)],
                       env=harness.WINE_ENV, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
    try:
        process.wait(timeout=120)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait()
    return elapsed


def plain_first_paint():
    began = time.monotonic()
    process = subprocess.Popen(
        harness.launcher_command("control_showcase.exe",
                                 ["--plain", "--bench"]),
        env=harness.WINE_ENV, stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL, start_new_session=True)
    elapsed = None
    for raw in process.stdout:
        if raw.startswith(b"bench "):
            elapsed = time.monotonic() - began
            break
    try:
        process.wait(timeout=120)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait()
    process.stdout.close()
    return elapsed


def wine_processes_of(name):
    """The Linux processes that run the Windows program |name|."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read()
        except OSError:
            continue
        if name.encode() in command and b"exit_code_launcher" not in command:
            found.append(int(entry))
    return found


def cpu_seconds(linux_pid):
    try:
        with open("/proc/%d/stat" % linux_pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / TICKS


class CpuWatch:
    """The CPU time of every process of an image, those that start later
    (the elevated copy) included: the sum of the last time seen of each,
    as any may end at any moment."""

    def __init__(self, name):
        self.name = name
        self.seen = {}
        self.read()

    def read(self):
        for pid in wine_processes_of(self.name):
            self.seen.setdefault(pid, 0.0)
        for pid in self.seen:
            value = cpu_seconds(pid)
            if value is not None:
                self.seen[pid] = value
        return self.last

    @property
    def last(self):
        return sum(self.seen.values())


def interactive_cpu(environment, work):
    temp = tempfile.mkdtemp(prefix="cpu-", dir=work)
    go = temp + ".go"
    messages = ",".join([
        "wait-file:" + harness.to_windows_path(go),
        "kelvra.lite.set_install_progress:5",
        "kelvra.lite.set_install_progress:7",
        "kelvra.lite.set_import_progress:0",
        "kelvra.lite.set_import_progress:50",
        "kelvra.lite.close_window"])
    env = dict(SEAMS, LITE_TEST_SETUP_MESSAGES=messages)
    began = time.monotonic()
    driver = MainWindowDriver(harness.INSTALLER_SEAMS, temp_dir=temp, env=env)
    try:
        driver.wait_first_screen(timeout=600)
        watch = CpuWatch(harness.INSTALLER_SEAMS)
        # Idle on the first screen once the archive is downloaded.
        deadline = time.monotonic() + 900
        while not any("Module downloaded: " in l
                      for l in harness.read_log(temp)):
            watch.read()
            if time.monotonic() > deadline:
                raise AssertionError("the archive never arrived")
            time.sleep(0.2)
        first_start = watch.read()
        time.sleep(5)
        first_idle = watch.read() - first_start
        driver.click(1)
        driver.wait_for(lambda t: any(c.visible for c in t.controls(215)),
                        timeout=600, what="the progress screen")
        # The setup waits for the go file: the window idles with its timer.
        while not any("Run: " in l for l in harness.read_log(temp)):
            watch.read()
            time.sleep(0.2)
        time.sleep(1)
        progress_start = watch.read()
        time.sleep(5)
        progress_idle = watch.read() - progress_start
        with open(go, "w"):
            pass
        while driver.running.is_running():
            watch.read()
            time.sleep(0.1)
        exit_code = driver.wait(timeout=300)
        wall = time.monotonic() - began
    finally:
        driver.close()
        if os.path.exists(go):
            os.remove(go)
    return (exit_code, watch.last, len(watch.seen), first_idle,
            progress_idle, wall)


def main():
    environment = install_env.environment
    environment.start()
    work = tempfile.mkdtemp(prefix="lite-bench-window-")
    try:
        installer = [installer_first_paint(work) for _ in range(RUNS)]
        plain = [plain_first_paint() for _ in range(RUNS)]
        if None in installer or None in plain:
            print("a first paint was not seen: %r %r" % (installer, plain))
            return 1
        print("%s, %d runs, medians in s (32-bit Wine: %s)" % (
            harness.ARCH, RUNS, os.environ.get("LITE_WINE_MODE", "native")))
        print("%-40s %8.3f" % ("installer: start to first paint",
                               statistics.median(installer)))
        print("%-40s %8.3f" % ("plain dialog: start to first paint",
                               statistics.median(plain)))
        print("%-40s %8.2f" % ("ratio", statistics.median(installer) /
                               statistics.median(plain)))

        archive = environment.build_padded_archive(work)
        environment.serve_archive(file=archive)
        (exit_code, cpu, processes, first_idle, progress_idle,
         wall) = interactive_cpu(environment, work)
        print("interactive installation, %.1f MiB archive, exit code %d" % (
            os.path.getsize(archive) / 1048576.0, exit_code))
        print("%-40s %8d" % ("installer processes seen", processes))
        print("%-40s %8.3f" % ("installer CPU time, whole run", cpu))
        print("%-40s %8.3f" % ("wall time, whole run", wall))
        print("%-40s %8.3f" % ("CPU over 5 s idle on the first screen",
                               first_idle))
        print("%-40s %8.3f" % ("CPU over 5 s idle on the progress screen",
                               progress_idle))
        return 0
    finally:
        environment.stop()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    sys.exit(main())
