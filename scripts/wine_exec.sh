#!/usr/bin/env bash
# CTest's emulator for the Windows test programs: runs one under Wine in the
# prefix the test script made, with a time-out so that nothing hangs CI.
# usage: wine_exec.sh ARCH PROGRAM [ARGS...]; exits 77 (skipped) for an i686
# program on a machine that cannot run 32-bit Wine.
export PATH="$PATH:/usr/lib/wine" WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
arch=$1
shift
if [ "$arch" = i686 ]; then
  if [ -n "${LITE_I686_UNRUNNABLE:-}" ]; then
    echo "SKIPPED: $LITE_I686_UNRUNNABLE"
    exit 77
  fi
  loader=wine
else
  loader=wine64
fi
exec timeout --kill-after=10 "${LITE_TEST_TIMEOUT:-600}" "$loader" "$@"
