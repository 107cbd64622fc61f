#!/usr/bin/env bash
# Runs the Windows build's programs under 64-bit Wine, in a Wine prefix of the build's own:
#   tests/wine/wine.sh PREFIX PROGRAM [ARGUMENTS...]   (CMAKE_CROSSCOMPILING_EMULATOR)
#   tests/wine/wine.sh PREFIX --start | --stop         (the tests' fixture: one Wine server a run)
# The prefix is made at its first use. Wine's own messages are off, so a program's output is its own.
set -euo pipefail

prefix=$1
shift
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all
# No prompt to install Wine's Mono or Gecko when the prefix is made: the tests use neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Makes the prefix if it is missing (some 10 seconds); runs started meanwhile wait for it. It is
# complete once the server has written its registry, which it does as it ends: ended at once here
# (nothing else runs in the new prefix) rather than 5 seconds later on its own.
make_prefix() {
  [ -f "$prefix/system.reg" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  local lock
  exec {lock}>"$prefix.lock"
  flock "$lock"
  if [ ! -f "$prefix/system.reg" ]; then
    if ! "$wine" wineboot -i </dev/null >"$prefix.log" 2>&1; then
      cat "$prefix.log" >&2
      exit 1
    fi
    "$wineserver" -k
    "$wineserver" -w
  fi
  exec {lock}>&-
}

make_prefix
case ${1-} in
  --start)
    # A server that stays until --stop: without one, each run starts the server again and ends
    # only when it leaves, some 2.5 seconds later. The first program a server runs also starts
    # Wine's services (services.exe, winedevice.exe and others), which live as long as the server
    # and keep the standard streams they started with; started here with none, they cannot hold a
    # later test's output open.
    # One that is already running, left by a run cut short, is used as it is.
    if ! "$wineserver" -p </dev/null >/dev/null 2>&1; then
      echo "wine.sh: a Wine server already runs for $prefix; the tests use it" >&2
    fi
    "$wine" wineboot </dev/null >/dev/null 2>&1
    ;;
  --stop)
    # Ends the server with every Wine process of the prefix, and waits until they are gone.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w
    ;;
  *) exec "$wine" "$@" ;;
esac
