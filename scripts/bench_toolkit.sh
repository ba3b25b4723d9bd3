#!/usr/bin/env bash
# Benchmark of the window toolkit (prints figures; not a test), through the
# control showcase under Wine and Xvfb:
# - time from the window's creation to the first complete paint of the
#   first screen (every control painted), and the cost of one progress step
#   (position change to paint done, mean of 100), each as a ratio to a plain
#   Win32 dialog with the same controls as standard controls, measured in
#   the same run (medians of RUNS runs, interleaved);
# - bytes the pictures add to the stripped i686 installer: the same
#   installer linked with and without them.
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
# The installer's own resource script and link step (from the build's
# commands), run twice into a temporary directory: once as built and once
# with an empty pictures.rc ahead of the generated one. The difference of
# the two stripped images is what the pictures and the icon cost, resource
# directory and section alignment included; the rendered files' sum is
# printed beside it.
python3 - "$top/build/i686" <<'PY'
import os, re, shlex, subprocess, sys, tempfile
build = sys.argv[1]
commands = subprocess.run(["ninja", "-C", build, "-t", "commands",
                           "lite_installer"], check=True,
                          stdout=subprocess.PIPE).stdout.decode().splitlines()
rc = [c for c in commands if "windres" in c and "lite_installer.rc.res" in c][0]
link = [c for c in commands if "-o bin/lite_installer.exe" in c][0]
link = link.split(" && ")[1]  # ": && LINK && cd ... && sign": the link only
res = shlex.split(rc)[-1]
with tempfile.TemporaryDirectory() as tmp:
    open(os.path.join(tmp, "pictures.rc"), "w").write("// no pictures\n")
    sizes = {}
    for name, extra in (("with", ""), ("without", "-I %s " % tmp)):
        out_res = os.path.join(tmp, name + ".res")
        out_exe = os.path.join(tmp, name + ".exe")
        command = rc.replace(" -I ", " %s-I " % extra, 1)
        command = command[:command.rindex(res)] + out_res
        subprocess.run(command, shell=True, check=True, cwd=build)
        command = link.replace(res, out_res).replace(
            "-o bin/lite_installer.exe", "-o " + out_exe)
        command = re.sub(r"-Wl,--out-implib,\S+", "", command)
        subprocess.run(command, shell=True, check=True, cwd=build)
        sizes[name] = os.path.getsize(out_exe)
total = 0
count = 0
for line in open(os.path.join(build, "generated", "pictures.rc")):
    m = re.match(r'\d+ (RCDATA|ICON) "(.*)"', line.strip())
    if m:
        total += os.path.getsize(m.group(2))
        count += 1
print("stripped i686 installer (unsigned): %d bytes with the pictures, %d "
      "without; the pictures and icon add %d bytes (rendered files: %d "
      "bytes in %d resources)" % (sizes["with"], sizes["without"],
                                  sizes["with"] - sizes["without"], total,
                                  count))
PY
