#!/usr/bin/env bash
# Builds the installer's byte parsers (tag readers, parameter text) natively
# for Linux with clang, libFuzzer, AddressSanitizer and UBSan, and fuzzes
# each for a bounded time. Prints the executions and findings per target.
# Run on demand; the tests do not run it.
# usage: scripts/fuzz_parsers.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=${LITE_FUZZ_DIR:-$top/build/fuzz}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$out"

flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -I"$top"
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

declare -A sources=(
  [installer_tag_fuzzer]="testing/fuzz/installer_tag_fuzzer.cc installer/brand/installer_tag_reader.cc"
  [distrib_params_fuzzer]="testing/fuzz/distrib_params_fuzzer.cc installer/brand/distrib_params_text.cc"
  [settings_text_fuzzer]="testing/fuzz/settings_text_fuzzer.cc installer/brand/settings_text.cc -ljansson"
)

# Seeds: small well-formed inputs, so that the fuzzer starts inside the
# formats instead of searching for "MZ" and DER by chance.
seed_corpus() {
  local target=$1 dir=$2
  mkdir -p "$dir"
  case $target in
    distrib_params_fuzzer)
      printf 'a=1&b=x=y&c' > "$dir/seed1"
      printf 'a=1&&b=2' > "$dir/seed2"
      printf 'lang=tr&def=1&stat=2' > "$dir/seed3"
      ;;
    settings_text_fuzzer)
      for package in "$top"/resources/packages/*/*.json; do
        cp "$package" "$dir/$(basename "$(dirname "$package")").json"
      done
      printf '{"install": {"setup_url": "http://x//y", "pin": {}}, /* c */ "a": 1}' > "$dir/seed1"
      printf '// sig\n{"s": "/* not a comment */", "t": true}' > "$dir/seed2"
      ;;
    installer_tag_fuzzer)
      python3 - "$top" "$dir" <<'PY'
import os, struct, sys
sys.path.insert(0, os.path.join(sys.argv[1], "tools"))
import stamp_installer_tag as t

def image(signed_data, pe32_plus, trailer=b""):
    d = bytearray(0x200)
    d[0:2] = b"MZ"
    struct.pack_into("<I", d, 60, 0x80)
    d[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<H", d, 0x98, 0x20B if pe32_plus else 0x10B)
    body = signed_data + bytes(-len(signed_data) % 8) + trailer
    body += bytes(-len(body) % 8)
    table = len(d)
    d += struct.pack("<IHH", 8 + len(body), 0x200, 2) + body
    struct.pack_into("<II", d, 0x80 + (168 if pe32_plus else 152), table,
                     8 + len(body))
    return bytes(d)

certificates = [t.dummy_certificate(b"lang=tr&"), t.dummy_certificate(b"x=1"),
                t.dummy_certificate(b"bad", 99)]
list_ = t.der(0xA0, b"".join(certificates))
signed = t.der(0x30, t.der(0x02, b"\x01") + t.der(0x31, b"") +
               t.der(0x30, b"") + list_ + t.der(0x31, b""))
content_info = t.der(0x30, t.der(0x06, t.OID_SIGNED_DATA) + t.der(0xA0, signed),
                     True)
out = sys.argv[2]
open(os.path.join(out, "pe32"), "wb").write(image(content_info, False))
open(os.path.join(out, "pe32plus_trailer"), "wb").write(
    image(content_info, True, b"Kact\x00\x03k=v"))
PY
      ;;
  esac
}

status=0
printf '%-24s %12s %10s %s\n' target executions findings log
for target in installer_tag_fuzzer distrib_params_fuzzer settings_text_fuzzer; do
  # shellcheck disable=SC2086
  (cd "$top" && "$cxx" "${flags[@]}" ${sources[$target]} -o "$out/$target")
  corpus=$out/$target.corpus
  artifacts=$out/$target.findings
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  seed_corpus "$target" "$corpus"
  log=$out/$target.log
  set +e
  "$out/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -rss_limit_mb=2048 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  findings=$(find "$artifacts" -type f | wc -l)
  printf '%-24s %12s %10s %s\n' "$target" "${executions:-?}" "$findings" "$log"
  if [ "$rc" -ne 0 ] || [ "$findings" -ne 0 ]; then
    status=1
    grep -m5 -E 'ERROR|SUMMARY' "$log" || true
  fi
done
exit $status
