#!/usr/bin/env bash
# Screenshots of the main window for the README: the main job's first and
# progress screens of both variants (Origin: the default brand; Facetune:
# the ua_uk brand), copied to docs/main_window/.
# usage: main_window_gallery.sh   (LITE_ARCH=x86_64 for the 64-bit build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/docs/main_window"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$top/scripts/run_main.sh" --screenshots="$work/origin"
bash "$top/scripts/run_main.sh" --screenshots="$work/facetune" -- --brand-name=ua_uk
for variant in origin facetune; do
  for screen in first_screen progress_screen; do
    cp "$work/$variant/$screen.png" "$out/${variant}_$screen.png"
  done
done
ls -l "$out"
