#!/usr/bin/env bash
# Benchmark of the window toolkit (prints figures; not a test), through the
# control showcase under Wine and Xvfb:
# - time from the window's creation to the first complete paint of the
#   first screen (every control painted), and the cost of one progress step
#   (position change to paint done, mean of 100), each as a ratio to a plain
#   Win32 dialog with the same controls as standard controls, measured in
#   the same run (medians of RUNS runs, interleaved);
# - bytes the pictures add to the stripped i686 installer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${RUNS:-7}
arch=${ARCH:-x86_64}
bash "$top/scripts/build.sh" >/dev/null
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
xvfb_start_if_needed
wine_prefix_create "$top/build/wine/bench-prefix"
wine_server_start
trap 'wine_server_stop; [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true' EXIT
loader=wine64
[ "$arch" = i686 ] && loader=wine
python3 - "$loader" "$top/build/$arch/bin/control_showcase.exe" "$RUNS" "$arch" <<'PY'
import statistics, subprocess, sys
loader, exe, runs, arch = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
def bench(*args):
    out = subprocess.run(["timeout", "120", loader, exe, "--bench"] + list(args),
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
    line = [l for l in out.splitlines() if l.startswith("bench ")][0].split()
    return float(line[2]), float(line[4])
for variant in ("origin", "facetune"):
    bench("--variant=" + variant)  # warm the file cache
    paint, plain_paint, step, plain_step = [], [], [], []
    for _ in range(runs):
        paint.append(bench("--variant=" + variant)[0])
        plain = bench("--variant=" + variant, "--plain")
        plain_paint.append(plain[0])
        plain_step.append(plain[1])
        step.append(bench("--variant=" + variant, "--screen=progress")[1])
    m = statistics.median
    print("%s %s: first paint %.1f ms (plain dialog %.1f ms, ratio %.2f); "
          "progress step %.0f us (plain %.0f us, ratio %.2f)" % (
              arch, variant, m(paint) / 1000, m(plain_paint) / 1000,
              m(paint) / m(plain_paint), m(step), m(plain_step),
              m(step) / m(plain_step)))
PY
echo "== bytes the pictures add to the stripped i686 installer"
python3 - "$top/build/i686/generated/pictures.rc" "$top/build/i686/bin/lite_installer.exe" <<'PY'
import os, re, sys
total = 0
for line in open(sys.argv[1]):
    m = re.match(r'\d+ (RCDATA|ICON) "(.*)"', line.strip())
    if m:
        total += os.path.getsize(m.group(2))
print("pictures and icon: %d bytes (%d resources); installer: %d bytes" % (
    total, sum(1 for l in open(sys.argv[1]) if '"' in l),
    os.path.getsize(sys.argv[2])))
PY
