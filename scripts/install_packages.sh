#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: a
# machine that has everything returns at once without touching apt.
set -euo pipefail

PACKAGES=(
  cmake ninja-build python3 openssl osslsigncode gcab
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  binutils-mingw-w64 libz-mingw-w64-dev
  wine wine64 curl
  xvfb xauth imagemagick
  # Pictures rendered from their SVG sources; real pointer input in tests.
  librsvg2-bin xdotool
  googletest dpkg-dev
  # scripts/fuzz_parsers.sh: native libFuzzer and sanitizer builds.
  clang libclang-rt-14-dev libjansson-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
wine32_installed() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}
# Where the kernel cannot execute 32-bit ELF programs, Debian's 32-bit Wine
# loader runs under qemu-i386 (scripts/wine_env.sh). bookworm's own qemu 7.2
# is far too slow for that (about a minute per process start) and crashed;
# bookworm-backports' qemu-user is the one measured to work.
QEMU_VERSION="1:10.0.2+ds-2+deb13u1~bpo12+1"
qemu_needed() {
  [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
    ! dpkg-query -W -f='${Version}' qemu-user 2>/dev/null | grep -q '^1:10\.'
}
install_qemu() {
  qemu_needed || return 0
  if [ ! -f /etc/apt/sources.list.d/lite-installer-backports.sources ]; then
    uris=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "${uris:-http://deb.debian.org/debian}" > /etc/apt/sources.list.d/lite-installer-backports.sources
    apt-get update -qq || true
  fi
  apt-get install -y -qq --no-install-recommends "qemu-user=$QEMU_VERSION" >/dev/null 2>&1 ||
    apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
}

if [ ${#missing[@]} -eq 0 ] && wine32_installed; then
  qemu_needed || exit 0
  [ "$(id -u)" -eq 0 ] || { echo "install_packages: qemu-user missing and not root" >&2; exit 1; }
  export DEBIAN_FRONTEND=noninteractive
  install_qemu
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install_packages: missing packages (${missing[*]}) and not root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# Source packages of the dependencies come from Debian too.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > /etc/apt/sources.list.d/debian-src.sources
fi
# A mirror in mid-sync can fail one index; try again, then go on with what
# was fetched (the install below fails loudly if a package is missing).
for attempt in 1 2 3; do
  apt-get update -qq && break
  sleep 5
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if wine32_installed; then install_qemu; exit 0; fi
if ! apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
  # When the security archive's i386 index cannot be fetched (a mirror in
  # mid-sync), the i386 halves of libraries that amd64 has (or would be
  # upgraded to) at a security version cannot be matched. Serve the i386
  # builds of those security versions from a local repository, taken from
  # the security pool by the names of the amd64 index.
  echo "install_packages: retrying with the security i386 libraries fetched directly" >&2
  repo=/var/cache/lite-installer-i386
  mkdir -p "$repo"
  installed=$(dpkg-query -W -f='${Package}\n')
  for list in /var/lib/apt/lists/*debian-security*binary-amd64_Packages*; do
    /usr/lib/apt/apt-helper cat-file "$list"
  done | awk '
      /^Package: / { p = $2 } /^Version: / { v = $2 } /^Filename: / { f = $2 }
      /^Multi-Arch: same/ { m = 1 }
      /^$/ { if (m) print p, v, f; p = v = f = ""; m = 0 }' |
  while read -r pkg ver file; do
    grep -qxF "$pkg" <<<"$installed" || continue
    deb="$repo/$(basename "${file/_amd64.deb/_i386.deb}")"
    [ -f "$deb" ] || curl -fsS -o "$deb" \
      "http://deb.debian.org/debian-security/${file/_amd64.deb/_i386.deb}" || rm -f "$deb"
  done
  (cd "$repo" && dpkg-scanpackages --multiversion . /dev/null 2>/dev/null > Packages)
  echo "deb [trusted=yes] file:$repo ./" > /etc/apt/sources.list.d/lite-installer-i386.list
  apt-get update -qq || true
  apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
fi
install_qemu
