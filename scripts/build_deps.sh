#!/usr/bin/env bash
# Builds the third-party libraries for both Windows targets into
# .cache/deps/<arch>: jansson and BoringSSL's digests from Debian's source
# packages (pinned versions), GoogleTest from /usr/src/googletest. A stamp
# keyed on this script, the small BoringSSL CMake file and the compiler
# versions makes a run with nothing to do return at once.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache="$top/.cache"
deps="$cache/deps"
src="$cache/src"

JANSSON_VERSION=2.14-2
BORINGSSL_VERSION=13.0.0+r24-2

key=$( { cat "$0" "$top/third_party/boringssl/CMakeLists.txt" "$top"/cmake/toolchain-*.cmake
         i686-w64-mingw32-g++-posix --version | head -1
         x86_64-w64-mingw32-g++-posix --version | head -1; } | sha256sum | cut -c1-16)
if [ -f "$deps/stamp" ] && [ "$(cat "$deps/stamp")" = "$key" ]; then
  exit 0
fi

rm -rf "$deps"
mkdir -p "$deps" "$src"

fetch_source() {  # package version dir-glob
  local pkg=$1 ver=$2
  if ! ls -d "$src/$pkg"-*/ >/dev/null 2>&1; then
    (cd "$src" && apt-get source --download-only "$pkg=$ver" >/dev/null 2>&1 ||
       { echo "build_deps: cannot fetch source $pkg=$ver" >&2; exit 1; })
    local orig
    orig=$(ls "$src/${pkg}_"*.orig.tar.* | head -1)
    tar -C "$src" -xf "$orig"
  fi
}
fetch_source jansson "$JANSSON_VERSION"
fetch_source android-platform-external-boringssl "$BORINGSSL_VERSION"
jansson_src=$(ls -d "$src"/jansson-*/ | head -1)
boringssl_src=$(ls -d "$src"/android-platform-external-boringssl-*/ | head -1)

build() {  # arch name source-dir [cmake args...]
  local arch=$1 name=$2 dir=$3; shift 3
  local b="$cache/build-deps/$arch/$name"
  rm -rf "$b"
  cmake -S "$dir" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch.cmake" \
    -DCMAKE_INSTALL_PREFIX="$deps/$arch" "$@" >"$b.log" 2>&1 ||
    { cat "$b.log" >&2; exit 1; }
  cmake --build "$b" >>"$b.log" 2>&1 && cmake --install "$b" >>"$b.log" 2>&1 ||
    { tail -40 "$b.log" >&2; exit 1; }
}

for arch in i686 x86_64; do
  mkdir -p "$cache/build-deps/$arch"
  build $arch jansson "$jansson_src" -DJANSSON_BUILD_SHARED_LIBS=OFF \
    -DJANSSON_BUILD_DOCS=OFF -DJANSSON_WITHOUT_TESTS=ON -DJANSSON_EXAMPLES=OFF \
    -DUSE_URANDOM=OFF -DUSE_WINDOWS_CRYPTOAPI=ON
  build $arch boringssl "$top/third_party/boringssl" -DBORINGSSL_ROOT="$boringssl_src"
  build $arch googletest /usr/src/googletest -DBUILD_GMOCK=ON \
    -DBUILD_SHARED_LIBS=OFF -Dgtest_force_shared_crt=ON
done
echo "$key" > "$deps/stamp"
