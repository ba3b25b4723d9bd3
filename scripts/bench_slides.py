#!/usr/bin/env python3
"""The slide show's cost under Wine (prints figures; not a test), through
slide_probe.exe against the test service with the prefix's proxy:
- private bytes of the process after 30 slides were downloaded and the show
  cycled through all of them (period 100 ms), against the same run with no
  slide folder;
- CPU time of the window thread per minute of slide show with the 20 ms
  timer and the real 10 s period (SECONDS of show, default 60), with the
  number of paints and timer ticks (the timer repaints only when the slide
  changed).

Expects the environment of scripts/bench_slides.sh."""
import os
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
sys.path.insert(0, os.path.join(TOP, "testing", "service"))
import harness  # noqa: E402
import slide_endpoints  # noqa: E402
import wine_proxy  # noqa: E402

HOST = "download.cdn.kelvra.example"
SECONDS = int(os.environ.get("SECONDS_OF_SHOW", "60"))


def show(base, seconds, period_ms):
    result = harness.run_program("slide_probe.exe", [
        "--base=" + base, "--show-seconds=%d" % seconds,
        "--period-ms=%d" % period_ms], timeout=seconds + 300)
    values = {}
    for line in result.output.replace("\r", "").splitlines():
        parts = line.split(" ")
        if parts[0] == "show":
            values.update(zip(parts[1::2], (int(v) for v in parts[2::2])))
        elif parts[0] == "private_bytes_start":
            values["private_bytes_start"] = int(parts[1])
    return values


def main():
    service, proxy = wine_proxy.start_service_with_prefix_proxy(
        harness.WINE_ENV, harness.bin_path("add_root_cert.exe"), harness.WINE)
    try:
        files = slide_endpoints.folder_files(harness.BUILD_DIR, "facetune/en")
        pictures = sorted(files.values())
        for number in range(2, 32):
            service.add_route(HOST, "/thirty/x2/%02d.jpg" % number,
                              file=pictures[number % len(pictures)])
        arch = harness.ARCH + (" (emulated)" if harness.ARCH == "i686" else "")
        print("slide show benchmark, %s" % arch)
        none = show("https://%s/none/" % HOST, 20, 100)
        thirty = show("https://%s/thirty/" % HOST, 30, 100)
        print("private bytes, no slides: start %.1f MiB, after 20 s %.1f MiB"
              % (none["private_bytes_start"] / 2**20,
                 none["private_bytes"] / 2**20))
        print("private bytes, 30 slides downloaded and shown (index %d, "
              "%d downloaded): %.1f MiB" %
              (thirty["index"], thirty["downloaded"],
               thirty["private_bytes"] / 2**20))
        for label, base in (("one picture", "https://%s/none/" % HOST),
                            ("30 slides", "https://%s/thirty/" % HOST)):
            v = show(base, SECONDS, 10000)
            print("%s, %d s at the 10 s period: window thread CPU %.0f ms "
                  "per minute, %d paints, %d ticks" %
                  (label, SECONDS, v["cpu_ms"] * 60.0 / SECONDS, v["paints"],
                   v["ticks"]))
    finally:
        proxy.restore()
        service.stop()


if __name__ == "__main__":
    main()
