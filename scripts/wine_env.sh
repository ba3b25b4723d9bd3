# Sourced by the scripts that run Windows programs: a private Wine prefix,
# quiet Wine, and the wine server's start and stop.
# shellcheck shell=bash
export PATH="$PATH:/usr/lib/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Fails loudly when 32-bit Wine is missing: a 64-bit-only Wine "runs" an
# i686 program by exiting 0 without running it. When wine32 is installed but
# the kernel refuses to execute 32-bit ELF programs (some sandboxes), no
# i686 program can run at all: the i686 tests are then reported as skipped
# with this reason, never as passed.
require_wine32() {
  if [ ! -x /usr/lib/wine/wine ] || ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "ERROR: wine32 (i386) is not installed; 32-bit programs cannot be tested" >&2
    return 1
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export LITE_I686_UNRUNNABLE="this kernel cannot execute 32-bit ELF programs, so 32-bit Wine cannot start"
    echo "WARNING: $LITE_I686_UNRUNNABLE: every i686 test that runs a program is SKIPPED" >&2
  fi
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
    timeout 60 wine64 reg add "$key" /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
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
