#!/usr/bin/env bash
# Benchmark (prints figures; not a test): the size of each stripped
# installer, and the wall time from start to exit of --check-the-interface
# under Wine against a minimal Win32 program built with the same flags, as
# a ratio measured in the same run (median of RUNS runs).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${RUNS:-11}
bash "$top/scripts/build.sh" >/dev/null
# shellcheck source=wine_env.sh
. "$top/scripts/wine_env.sh"
require_wine32
wine_prefix_create "$top/build/wine/bench-prefix"
wine_server_start
trap wine_server_stop EXIT

echo "== sizes (bytes, stripped; the installers also carry their signature)"
for arch in i686 x86_64; do
  for exe in lite_installer minimal_program; do
    printf '%-8s %-18s %9d\n' "$arch" "$exe.exe" "$(stat -c %s "$top/build/$arch/bin/$exe.exe")"
  done
done

echo "== start to exit under Wine, median of $RUNS runs"
for arch in i686 x86_64; do
  loader=wine64
  [ "$arch" = i686 ] && loader=wine
  python3 - "$loader" "$top/build/$arch/bin" "$RUNS" "$arch" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
loader, bin_dir, runs, arch = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
temp = tempfile.mkdtemp()
def once(exe, args):
    start = time.perf_counter()
    subprocess.run(["timeout", "60", loader, os.path.join(bin_dir, exe)] + args,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, TMP=temp, TEMP=temp))
    return time.perf_counter() - start
once("minimal_program.exe", [])  # warm the file cache and the server
once("lite_installer.exe", ["--check-the-interface"])
base, installer = [], []
for _ in range(runs):  # interleaved, so that noise hits both alike
    base.append(once("minimal_program.exe", []))
    installer.append(once("lite_installer.exe", ["--check-the-interface"]))
b, i = statistics.median(base), statistics.median(installer)
print("%s: minimal %.3f s, installer --check-the-interface %.3f s, ratio %.2f"
      % (arch, b, i, i / b))
PY
done
