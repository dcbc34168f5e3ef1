#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, headless, in a Wine prefix of the build (made
# on first use; the first start takes several seconds). Used by ctest as the cross-compiling
# emulator and by the smoke test.
#   ORVANE_WINEPREFIX overrides the prefix folder.
set -euo pipefail
prefix="${ORVANE_WINEPREFIX:-${WINEPREFIX:-}}"
if [ -z "$prefix" ]; then
  # The build folder holds the prefix: <build>/wine, found from the program's own folder.
  dir="$(cd "$(dirname "$1")" && pwd)"
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ "$dir" = / ] && dir="$(cd "$(dirname "$1")" && pwd)"
  prefix="$dir/wine"
fi
mkdir -p "$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
exec "$wine" "$@"
