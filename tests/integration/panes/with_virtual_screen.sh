#!/usr/bin/env bash
# Runs a test program on a private X display (Xvfb, no window manager), as the toolkit's X
# platform, so that it can be driven with xdotool like a user's mouse and keyboard.
#   with_virtual_screen.sh BUILD_DIR RUNNER PROGRAM [ARGS...]
set -uo pipefail
build="$1"; runner="$2"; shift 2
# shellcheck source=lab/lib/virtual-screen.sh
. "$(cd "$(dirname "$0")/../../.." && pwd)/lab/lib/virtual-screen.sh"
log="$(mktemp "$build/xvfb-test.XXXXXX")"
virtual_screen_start "$log"
trap 'virtual_screen_stop "$VIRTUAL_SCREEN_PID"; rm -f "$log"' EXIT
if ! virtual_screen_wait "$VIRTUAL_SCREEN_PID" 20; then
  echo "no virtual screen: $(cat "$log")" >&2
  exit 1
fi
export QT_QPA_PLATFORM=xcb
# No session bus: without one, the toolkit's D-Bus library would try to start one for this
# display (and keeps memory of it that the leak checker of the sanitizer build reports).
export DBUS_SESSION_BUS_ADDRESS=disabled:
"$runner" "$@"
