# Sourced by the scripts that run Windows programs: a private Wine prefix,
# quiet Wine, and the wine server's start and stop.
# shellcheck shell=bash
export PATH="$PATH:/usr/lib/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Fails loudly when 32-bit Wine is missing: a 64-bit-only Wine "runs" an
# i686 program by exiting 0 without running it. Then chooses how 32-bit
# programs run: with Debian's 32-bit Wine loader where the kernel executes
# 32-bit ELF programs ("native"), otherwise with that same loader under
# qemu-i386 ("emulated", see wine_emulated_layout). Every i686 test runs on
# every machine; none is ever skipped.
require_wine32() {
  if [ ! -x /usr/lib/wine/wine ] || ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "ERROR: wine32 (i386) is not installed; 32-bit programs cannot be tested" >&2
    return 1
  fi
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export LITE_WINE_MODE=native
  else
    wine_emulated_layout || return 1
    export LITE_WINE_MODE="emulated (this kernel cannot execute 32-bit ELF programs: the 32-bit Wine loader runs under qemu-i386)"
  fi
  echo "32-bit Wine: $LITE_WINE_MODE" >&2
}

# Where the kernel refuses 32-bit ELF programs, 32-bit Windows programs can
# only run with the i386 Wine loader under CPU emulation. Wine looks for its
# 32-bit loader beside the real path of the running wine64, so this makes a
# private copy of Wine's layout whose lib/wine/wine starts the real loader
# under qemu-i386 (-0 keeps the script as argv[0], so that 32-bit programs
# starting 32-bit programs come back through it), and puts "wine" and
# "wine64" first on PATH, both running that wine64: every program, 32- or
# 64-bit, and the prefix itself go through the one layout.
wine_emulated_layout() {
  if ! command -v qemu-i386 >/dev/null; then
    echo "ERROR: 32-bit Wine cannot start on this kernel and qemu-i386 is missing" \
         "(scripts/install_packages.sh installs it)" >&2
    return 1
  fi
  local top layout
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  layout=${LITE_BUILD_ROOT:-$top/build}/wine/emulated
  if [ ! -x "$layout/bin/wine64" ] || ! cmp -s /usr/lib/wine/wine64 "$layout/lib/wine/wine64"; then
    rm -rf "$layout"
    mkdir -p "$layout/lib/wine" "$layout/bin"
    cp /usr/lib/wine/wine64 "$layout/lib/wine/wine64"
    cp /usr/lib/wine/wine "$layout/lib/wine/wine-elf"
    printf '#!/bin/sh\nexport WINELOADERNOEXEC=1\nexec qemu-i386 -0 "%s" "%s" "$@"\n' \
      "$layout/lib/wine/wine" "$layout/lib/wine/wine-elf" > "$layout/lib/wine/wine"
    chmod +x "$layout/lib/wine/wine"
    ln -s /usr/lib/wine/wineserver64 "$layout/lib/wine/wineserver"
    ln -s /usr/lib/x86_64-linux-gnu "$layout/lib/x86_64-linux-gnu"
    ln -s /usr/lib/i386-linux-gnu "$layout/lib/i386-linux-gnu"
    ln -s /usr/share "$layout/share"
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$layout/lib/wine/wine64" > "$layout/bin/wine64"
    chmod +x "$layout/bin/wine64"
    ln -s wine64 "$layout/bin/wine"
    ln -s ../lib/wine/wineserver "$layout/bin/wineserver"
  fi
  export PATH="$layout/bin:$PATH"
}

# Makes a new prefix at $1 (removing an old one) with the crash debugger off.
wine_prefix_create() {
  export WINEPREFIX=$1
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 180 wine64 wineboot -i >/dev/null 2>&1
  local key
  for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
             'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
    timeout 60 wine64 reg add "$key" /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1
    # Auto 1 with no debugger: a crash that no filter handles ends the
    # process with its exception code. With Auto 0, Wine asks first in an
    # "Exception raised" message box whenever user32 is loaded, and that
    # box holds the crashed program until somebody answers it.
    timeout 60 wine64 reg add "$key" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
  done
  timeout 60 wineserver -w || true
}

# A persistent wine server for the run, so that Wine processes started by
# the tests do not each start and stop one (and keep pipes open).
wine_server_start() {
  wineserver -p
  timeout 120 wine64 wineboot >/dev/null 2>&1 || true
}

wine_server_stop() {
  wineserver -k >/dev/null 2>&1 || true
}

# Starts Xvfb on the first free display (1920 x 1040) when there is no
# display; call it before wine_prefix_create and wine_server_start, or
# Wine's desktop keeps 1024 x 768. Sets DISPLAY and XVFB_PID (empty when
# one was there already).
xvfb_start_if_needed() {
  XVFB_PID=
  [ -n "${DISPLAY:-}" ] && return 0
  local n=97
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 1920x1040x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  sleep 1
}
