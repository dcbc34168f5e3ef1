#!/usr/bin/env bash
# Runs a Windows test program under Wine with a serial port COM42 that is a pseudo-terminal of
# this machine: its other end, held by a small peer here, echoes what it reads while the line
# is set to 9600 baud, 8 data bits, no parity, one stop bit, and answers "BADCONF!" otherwise.
# The program finds the port's name in ORVANE_TEST_COM_PORT.
#   with_pty_com_port.sh BUILD_DIR WINE_RUN PROGRAM [ARGS...]
set -euo pipefail
build="$1"; runner="$2"; shift 2
export WINEPREFIX="${ORVANE_WINEPREFIX:-${WINEPREFIX:-$build/wine}}"
port=com42
# The prefix's dosdevices folder exists once Wine has started in it.
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  "$runner" "$1" --gtest_list_tests >/dev/null 2>&1 || true
fi
[ -d "$WINEPREFIX/dosdevices" ] || { echo "no Wine prefix at $WINEPREFIX" >&2; exit 1; }

peer_out="$(mktemp)"
python3 -u - >"$peer_out" <<'PEER' &
import os, select, sys, termios
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
while True:
    ready, _, _ = select.select([master], [], [], 60)
    if not ready:
        continue
    try:
        data = os.read(master, 256)
    except OSError:
        continue
    attrs = termios.tcgetattr(slave)
    cflag, ispeed, ospeed = attrs[2], attrs[4], attrs[5]
    good = (ispeed == termios.B9600 and ospeed == termios.B9600 and (cflag & termios.CSIZE) == termios.CS8
            and not cflag & termios.PARENB and not cflag & termios.CSTOPB)
    os.write(master, data if good else (b"BADCONF!" * 32)[:len(data)])
PEER
peer=$!
cleanup() {
  kill "$peer" 2>/dev/null || true
  wait "$peer" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/$port" "$peer_out"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$peer_out" ] && break; sleep 0.05; done
tty="$(head -n1 "$peer_out")"
[ -n "$tty" ] || { echo "the pseudo-terminal peer did not start" >&2; exit 1; }
ln -sfn "$tty" "$WINEPREFIX/dosdevices/$port"
ORVANE_TEST_COM_PORT="${port^^}" "$runner" "$@"
