#!/usr/bin/env bash
# Benchmark (prints figures; not a test) of the setup-archive download
# under Wine against the local test service, on a 200 MiB archive made for
# the run in a temporary folder under /tmp and deleted afterwards:
#   - throughput of the installer's downloader (download_probe.exe running
#     DownloadModule) against curl fetching the same file through the same
#     proxy in the same run, and against WinINet alone reading in fixed
#     1 MiB pieces (no installer code: the ceiling that Wine's WinINet and
#     TLS give any reader on this machine): median of RUNS runs and the
#     ratios to curl, and the median time to the answer's first bytes for
#     the installer and for curl (the fixed cost of a download) with the
#     throughput of each after them (the read loop), for https
#     unthrottled, https with the service limited to 100 MiB/s (a gigabit
#     link) and to 50 MiB/s, and plain http unthrottled;
#   - the peak private memory of the downloading process (Windows' peak
#     commit charge, PeakPagefileUsage, as the probe reports it) and the
#     high-water resident size of its Wine process (VmHWM from /proc);
#   - the bytes the service served for a download whose first attempt is
#     cut at 50 %, against the archive's size;
#   - the stop latency on a link trickling at 64 KiB/s: from the stop (a
#     file the probe watches every 20 ms) to the end of the probe process,
#     and the bytes stored after the stop.
# The i686 build runs emulated (qemu-i386) where the kernel cannot execute
# 32-bit programs: its figures then say nothing about the shipped build.
# Runs for both architectures unless ARCHS says otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${RUNS:-3}
ARCHS=${ARCHS:-"i686 x86_64"}
root=${LITE_BUILD_ROOT:-$top/build}
bash "$top/scripts/build.sh" >/dev/null
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
wine_prefix_create "$root/wine/bench-download-prefix"
wine_server_start
work=$(mktemp -d /tmp/lite-bench-download.XXXXXX)
trap 'wine_server_stop; rm -rf "$work"' EXIT

for arch in $ARCHS; do
  loader=wine64
  [ "$arch" = i686 ] && loader=wine
  python3 - "$top" "$root/$arch/bin" "$loader" "$arch" "$RUNS" "$work" <<'PY'
import json, os, statistics, subprocess, sys, threading, time
top, bin_dir, loader, arch, runs, work = sys.argv[1:7]
runs = int(runs)
emulated = os.environ.get("LITE_WINE_MODE", "").startswith("emulated")
sys.path.insert(0, os.path.join(top, "testing", "service"))
import wine_proxy
from web_service import WebService

MIB = 1024 * 1024
SIZE = 200 * MIB
HOST = "download.kelvra.example"
env = dict(os.environ, TEMP=None, TMP=None)
env = {k: v for k, v in env.items() if v is not None}

def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")

archive = os.path.join(work, "archive.bin")
if not os.path.exists(archive):
    with open(archive, "wb") as f:
        block = os.urandom(MIB)
        for i in range(SIZE // MIB):
            # Every MiB differs, so a misplaced block would show.
            f.write(i.to_bytes(4, "little") + block[4:])

def vm_hwm(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0

def probe(url, delay_ms=15000, stop_after=None):
    settings = os.path.join(work, "settings.json")
    with open(settings, "w") as f:
        json.dump({"install": {"setup_url": url}}, f)
    target = os.path.join(work, "target.bin")
    run_env = dict(env, LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS=str(delay_ms),
                   TEMP=win(work), TMP=win(work))
    stop_file = os.path.join(work, "stop")
    if os.path.exists(stop_file):
        os.remove(stop_file)
    options = ["download-x32"]
    if stop_after is not None:
        options.append("stop-file=" + win(stop_file))
    process = subprocess.Popen(
        ["timeout", "600", loader, os.path.join(bin_dir, "download_probe.exe"),
         "module", win(target), win(settings)] + options,
        env=run_env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if stop_after is not None:
        while not os.path.exists(target) or \
                os.path.getsize(target) < stop_after:
            time.sleep(0.01)
        held = os.path.getsize(target)
        open(stop_file, "w").close()
        stopped = time.monotonic()
        output = process.communicate()[0].decode("utf-8", "replace")
        latency = time.monotonic() - stopped
        written = [int(field.split("=")[1]) for line in output.splitlines()
                   for field in line.split() if field.startswith(
                       "bytes_written=")]
        os.remove(stop_file)
        if os.path.exists(target):
            os.remove(target)
        return latency, (written[0] if written else 0) - held
    peak = [0]
    def watch():
        # timeout's child is the Wine loader, which becomes the program.
        while process.poll() is None:
            try:
                children = open("/proc/%d/task/%d/children"
                                % (process.pid, process.pid)).read().split()
            except OSError:
                children = []
            for child in children:
                peak[0] = max(peak[0], vm_hwm(int(child)))
            time.sleep(0.05)
    watcher = threading.Thread(target=watch)
    watcher.start()
    output = process.communicate()[0].decode("utf-8", "replace")
    watcher.join()
    values = {}
    for line in output.replace("\r", "").splitlines():
        if "=" in line and not line.startswith(("attempt=", "pause=")):
            name, _, value = line.partition("=")
            values.setdefault(name, value)
    ok = values.get("result_code") == "0" and os.path.getsize(target) == SIZE
    os.remove(target)
    if not ok:
        raise SystemExit("probe download failed: %r" % output[-2000:])
    return (int(values["elapsed_ms"]) / 1000.0,
            int(values["peak_private_bytes"]), peak[0],
            int(values["first_progress_ms"]) / 1000.0)

def raw(url, piece=MIB):
    # WinINet alone with fixed pieces: the most any reader gets from it here.
    target = os.path.join(work, "raw.bin")
    completed = subprocess.run(
        ["timeout", "600", loader, os.path.join(bin_dir, "download_probe.exe"),
         "raw", url, win(target), str(piece)],
        env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    values = dict(line.split("=", 1) for line in
                  completed.stdout.decode().split() if "=" in line)
    size = os.path.getsize(target) if os.path.exists(target) else 0
    if completed.returncode != 0 or size != SIZE:
        raise SystemExit("raw WinINet read failed")
    os.remove(target)
    return int(values["elapsed_ms"]) / 1000.0

def curl(url, proxy, ca):
    target = os.path.join(work, "curl.bin")
    completed = subprocess.run(
        ["curl", "-sS", "--fail", "--proxy", "http://" + proxy, "--cacert", ca,
         "-o", target, "-w", "%{time_total} %{time_starttransfer}", url],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    size = os.path.getsize(target) if os.path.exists(target) else 0
    if completed.returncode != 0 or size != SIZE:
        raise SystemExit("curl failed: %s" % completed.stderr.decode())
    os.remove(target)
    total, first = completed.stdout.decode().split()
    return float(total), float(first)

with WebService() as service:
    service.add_route(HOST, "/bench.arc", file=archive)
    service.add_route(HOST, "/bench100.arc", file=archive, rate=100 * MIB)
    service.add_route(HOST, "/bench50.arc", file=archive, rate=50 * MIB)
    service.add_route(HOST, "/trickle.arc", file=archive, rate=64 * 1024)
    service.add_route(HOST, "/cut.arc", file=archive, drop_after=SIZE // 2)
    prefix = wine_proxy.PrefixProxy(service, os.environ,
                                    os.path.join(bin_dir, "add_root_cert.exe"),
                                    loader)
    with prefix:
        print("== %s: 200 MiB archive, median of %d runs (MiB/s)" % (arch, runs))
        peaks_private, peaks_rss = [], []
        for name, url in (
                ("https", "https://%s/bench.arc" % HOST),
                ("https, 100 MiB/s", "https://%s/bench100.arc" % HOST),
                ("https, 50 MiB/s", "https://%s/bench50.arc" % HOST),
                ("http", "http://%s/bench.arc" % HOST)):
            mine, ceiling, theirs = [], [], []
            my_start, their_start, my_loop, their_loop = [], [], [], []
            for _ in range(runs):  # interleaved, so noise hits all alike
                seconds, private, rss, first = probe(url)
                mine.append(SIZE / MIB / seconds)
                my_start.append(first)
                my_loop.append(SIZE / MIB / (seconds - first))
                peaks_private.append(private)
                peaks_rss.append(rss)
                ceiling.append(SIZE / MIB / raw(url))
                seconds, first = curl(url, service.proxy_address,
                                      service.ca.cert_path)
                theirs.append(SIZE / MIB / seconds)
                their_start.append(first)
                their_loop.append(SIZE / MIB / (seconds - first))
            m, w, c = (statistics.median(mine), statistics.median(ceiling),
                       statistics.median(theirs))
            print("%-17s installer %7.1f   WinINet alone %7.1f   curl %7.1f"
                  "   ratio %.2f (WinINet alone %.2f)%s"
                  % (name, m, w, c, m / c, w / c,
                     "   (emulated)" if arch == "i686" and emulated else ""))
            ml, cl = statistics.median(my_loop), statistics.median(their_loop)
            print("%-17s first bytes after: installer %.3f s, curl %.3f s;"
                  " after them: installer %.1f, curl %.1f, ratio %.2f"
                  % ("", statistics.median(my_start),
                     statistics.median(their_start), ml, cl, ml / cl))
        print("peak private memory of the downloading process: %.1f MiB "
              "(PeakPagefileUsage), Wine process VmHWM %.1f MiB"
              % (max(peaks_private) / MIB, max(peaks_rss) / MIB))
        latencies, after = [], []
        for _ in range(runs):
            latency, extra = probe("https://%s/trickle.arc" % HOST,
                                   stop_after=256 * 1024)
            latencies.append(latency)
            after.append(extra)
        print("stop at 64 KiB/s: %.2f s median from the stop to the end of "
              "the process (worst %.2f s); stored after the stop: at most "
              "%d bytes" % (statistics.median(latencies), max(latencies),
                            max(after)))
        service.clear_requests()
        probe("https://%s/cut.arc" % HOST, delay_ms=100)
        for _ in range(100):  # the last count lands as the answer ends
            gets = service.requests(method="GET", path="/cut.arc")
            if all(r.finished is not None for r in gets):
                break
            time.sleep(0.05)
        served = sum(r.sent for r in gets)
        print("first attempt cut at 50 %%: %d requests (%s), %.1f MiB served "
              "for a %d MiB archive (%.2fx)"
              % (len(gets), ", ".join(str(r.header("Range")) for r in gets),
                 served / MIB, SIZE // MIB, served / SIZE))
PY
done
