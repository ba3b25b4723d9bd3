#!/usr/bin/env bash
# CTest's emulator for the Windows test programs: runs one under Wine in the
# prefix the test script made, with a time-out so that nothing hangs CI.
# usage: wine_exec.sh ARCH PROGRAM [ARGS...]. Where the kernel cannot run
# 32-bit ELF programs, scripts/wine_env.sh has put the emulated Wine layout
# first on PATH, so "wine" here is that one.
export PATH="$PATH:/usr/lib/wine" WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
arch=$1
shift
if [ "$arch" = i686 ]; then
  loader=wine
else
  loader=wine64
fi
exec timeout --kill-after=10 "${LITE_TEST_TIMEOUT:-600}" "$loader" "$@"
