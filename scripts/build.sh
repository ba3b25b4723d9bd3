#!/usr/bin/env bash
# Installs what is missing and builds the installer, its tests and tools for
# both Windows targets into build/i686 and build/x86_64 (LITE_BUILD_ROOT
# moves build/ elsewhere, for a second working copy of the build).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install_packages.sh"
bash "$top/scripts/build_deps.sh"
export LITE_DEPS_ROOT="$top/.cache/deps"
root=${LITE_BUILD_ROOT:-$top/build}
for arch in i686 x86_64; do
  if [ ! -f "$root/$arch/build.ninja" ]; then
    cmake -S "$top" -B "$root/$arch" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch.cmake" >/dev/null
  fi
  ninja -C "$root/$arch" | grep -v '^\[' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
