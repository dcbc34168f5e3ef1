#!/usr/bin/env bash
# The Windows program as a user meets it, under Wine: orvane.exe on a virtual screen (Xvfb),
# with a private sound server (Wine's sound driver reaches it through PULSE_SERVER) whose
# microphone is a pipe, against the lab's voice server on loopback. Checks that
#   - its window is shown;
#   - its hellos and keepalives N, D and V reach the voice server byte for byte, the D one
#     with the 16-digit machine identifier;
#   - the loopback talk command makes it send audio datagrams whose payloads are, bit for
#     bit, what the pipe microphone was fed;
#   - a second orvane.exe is refused with its box and exit code 1;
#   - Escape ends it with exit code 0;
#   - and, when Parlo.exe is built, Parlo started without Orvane ends with exit code 1.
# Datagrams are read off the loopback interface with a packet socket (needs CAP_NET_RAW, as
# root in CI). The voice server holds the lab's fixed ports: where the machine allows it the run
# has a network of its own (a private loopback, so other runs on the machine neither collide
# with it nor show in its capture); elsewhere it takes the machine's port lock.
#   scripts/smoke-win64.sh [WIN64_BUILD_DIR [LINUX_BUILD_DIR]]   (default build-win64, build)
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."
root="$PWD"
# shellcheck source=lab/lib/sound-server.sh
source "$root/lab/lib/sound-server.sh"
# shellcheck source=lab/lib/virtual-screen.sh
source "$root/lab/lib/virtual-screen.sh"
win="$(cd "${1:-build-win64}" && pwd)"
lin="$(cd "${2:-build}" && pwd)"
exe="$win/run/orvane.exe"
for f in "$exe" "$lin/run/orvane-voice-server" "$lin/run/orvane-lab-tool"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "smoke-win64: $f is not built" >&2; exit 2; }
done

WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER="$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver)"
if [ -z "${ORVANE_PRIVATE_NET:-}" ]; then
  # The prefix's Wine server makes the programs' sockets: one still running from an earlier
  # run (the unit tests) would make them outside the private network. It ends on its own.
  WINEPREFIX="$win/wine" "$WINESERVER" -w 2>/dev/null || true
  # shellcheck source=lab/lib/private-net.sh
  source "$root/lab/lib/private-net.sh"
  private_net_exec bash "$self" "$win" "$lin"
fi
start=$(date +%s)

work=$(mktemp -d /tmp/orvane-smoke-win64.XXXXXX)
mkdir -p "$work/logs"
PIDS=()
# The virtual screen and the sound server: stopped after everything that uses them.
screen_pid=""
sound_pid=""
export WINEPREFIX="$win/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine64 || command -v wine)"

cleanup() {
  local i
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill -TERM "${PIDS[$i]}" 2>/dev/null || true; done
  # The Wine processes of this prefix (the programs and their helper services).
  "$WINESERVER" -k 2>/dev/null || true
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do wait "${PIDS[$i]}" 2>/dev/null || true; done
  sound_server_stop "$sound_pid"
  virtual_screen_stop "$screen_pid"
  if [ "${KEEP:-0}" = 1 ]; then echo "smoke-win64: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
  echo "smoke-win64: FAIL: $*" >&2
  for f in "$work"/logs/*.log; do
    echo "--- $(basename "$f")" >&2
    tail -n 15 "$f" >&2
  done
  [ -x /usr/bin/import ] && /usr/bin/import -display "$DISPLAY" -window root "$work/failure.png" 2>/dev/null &&
    echo "smoke-win64: screen at failure: $work/failure.png (KEEP=1 keeps it)" >&2
  exit 1
}
step() { echo "smoke-win64: $* ($(( $(date +%s) - start )) s)"; }

# wait_for SECONDS COMMAND... — until the command succeeds.
wait_for() {
  local deadline=$(( $(date +%s) + $1 )); shift
  until "$@" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}

# ---- a virtual screen -------------------------------------------------------------------
virtual_screen_start "$work/logs/xvfb.log"
screen_pid=$VIRTUAL_SCREEN_PID
virtual_screen_wait "$screen_pid" 20 || fail "Xvfb did not start"

# ---- a private sound server with a pipe microphone --------------------------------------
sound_server_config "$work/pulse" null-sink smoke_speaker pipe-source smoke_mic "$work/mic.fifo" \
  default-sink smoke_speaker default-source smoke_mic || fail "cannot write the sound server's configuration"
sound_server_start "$work/pulse" "$work/logs/pulseaudio.log"
sound_pid=$SOUND_SERVER_PID
sound_server_wait "$sound_pid" 20 || fail "the sound server did not start"

# ---- the datagrams the client sends to the voice server ---------------------------------
python3 - "$work/capture.txt" >"$work/logs/capture.log" 2>&1 <<'EOF' &
import socket, struct, sys
out = open(sys.argv[1], "w", buffering=1)
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0003))
s.bind(("lo", 0))
print("capturing", flush=True)
while True:
    frame, addr = s.recvfrom(65535)
    if addr[2] == socket.PACKET_OUTGOING:  # loopback shows each packet twice
        continue
    ip = frame[14:]
    if len(ip) < 20 or ip[0] >> 4 != 4 or ip[9] != 17:
        continue
    ihl = (ip[0] & 15) * 4
    sport, dport, length = struct.unpack("!HHH", ip[ihl:ihl + 6])
    payload = ip[ihl + 8:ihl + length]
    # Client to server: to a channel or control port, from a port of the client's own.
    if 30000 <= dport <= 31010 and not 30000 <= sport <= 31010:
        out.write("%d %d %s\n" % (sport, dport, payload.hex()))
EOF
PIDS+=($!)
wait_for 10 grep -q capturing "$work/logs/capture.log" || fail "no packet capture on lo (needs CAP_NET_RAW)"

# ---- the lab's voice server ---------------------------------------------------------------
"$lin/run/orvane-voice-server" --address 127.0.0.1 >"$work/logs/voice-server.log" 2>&1 &
PIDS+=($!)
sleep 1
kill -0 "${PIDS[-1]}" 2>/dev/null || fail "the voice server did not start (its ports are in use)"

# ---- orvane.exe ---------------------------------------------------------------------------
machine_serial=424243
client_env=(ORVANE_LAB_ANSWER_BOXES=1 ORVANE_LAB_VOLUME_SERIAL=$machine_serial)
mkfifo "$work/mic.fifo" 2>/dev/null || true
(cd "$win/run" && exec env "${client_env[@]}" "$WINE" ./orvane.exe) >"$work/logs/orvane.log" 2>&1 &
client=$!
PIDS+=("$client")

# Wine's first start in a fresh prefix takes long.
find_window() { xdotool search --name '^ORVANE$' 2>/dev/null | head -n 1; }
window_listed() { [ -n "$(find_window)" ]; }
wait_for 240 window_listed || fail "no ORVANE window"
wid=$(find_window)
wait_for 30 sh -c "xwininfo -id $wid | grep -q 'Map State: IsViewable'" || fail "the ORVANE window is not shown"
geometry=$(xwininfo -id "$wid" | sed -n 's/^ *Width: \(.*\)/\1/p;s/^ *Height: \(.*\)/\1/p' | paste -sd x)
step "window shown ($geometry)"
[ -x /usr/bin/import ] && /usr/bin/import -display "$DISPLAY" -window root "$work/window.png" 2>/dev/null || true

# ---- hellos and keepalives ------------------------------------------------------------------
# check_datagrams — the voice hello, the control hello and one keepalive of each variant, to
# channel 0's port, exactly as the protocol gives them.
hello=$(printf 'T.WIN' | xxd -p)00000000
digits=$(printf '%016d' "$machine_serial" | xxd -p)
have() { grep -Eq "^[0-9]+ 30000 $1\$" "$work/capture.txt"; }
check_datagrams() {
  have "$hello" && have "$hello$hello" &&
    have "522e00[0-9a-f]{4}00000000$(printf 'NWIN.PSEUDO.WIN.' | xxd -p)00" &&
    have "522e00[0-9a-f]{4}0000000044${digits}00" &&
    have "522e00[0-9a-f]{4}0000000056$(printf '076' | xxd -p)02"
}
wait_for 120 check_datagrams || fail "hellos and keepalives N, D, V did not all arrive: $(cut -c1-80 "$work/capture.txt" | sort | uniq -c | head)"
step "hellos and keepalives N, D, V byte for byte, machine $(printf '%016d' "$machine_serial")"

# ---- the talk command and the pipe microphone ---------------------------------------------
# Three seconds of noise that repeats nowhere: any payload found in it is where it came from.
python3 -c '
import sys
x = 12345
out = bytearray()
for _ in range(8000 * 3 * 2):
    x = (1103515245 * x + 12345) & 0x7fffffff
    out += (x >> 8 & 0xffff).to_bytes(2, "little")
open(sys.argv[1], "wb").write(out)' "$work/voice.raw"

# The client's sockets live in its own process and in the Wine server of this prefix.
talk() {
  local pid sent=0
  for pid in "$client" $(pgrep -x wineserver); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || [ "$pid" = "$client" ] || continue
    "$lin/run/orvane-lab-tool" "$1" "$pid" >/dev/null 2>&1 && sent=1
  done
  [ "$sent" = 1 ]
}
talk talk || fail "the talk command found no socket of the client"
"$lin/run/orvane-lab-tool" feed "$work/voice.raw" "$work/mic.fifo" >"$work/logs/feed.log" 2>&1 || true
talk release || true

check_audio() {
  python3 - "$work/capture.txt" "$work/voice.raw" <<'EOF'
import sys
fed = open(sys.argv[2], "rb").read()
exact = joined = other = 0
for line in open(sys.argv[1]):
    sport, dport, data = line.split()
    d = bytes.fromhex(data)
    if len(d) != 1024 or d[6:7] != b"N":
        continue
    p = d[24:]
    if p == bytes(1000):
        continue
    if fed.find(p) >= 0:
        exact += 1
        continue
    # The first and last buffers of a talk may hold silence around the feed.
    core = p.strip(b"\0")
    if len(core) < 1000 and fed.find(core) >= 0:
        continue
    # On a busy machine Wine's sound driver can lose part of the microphone's stream before
    # the program sees it: a buffer then joins two stretches of the feed. Every byte still
    # comes from the microphone, in order; a byte from anywhere else is a fault.
    if any(fed.find(p[:k].strip(b"\0")) >= 0 and fed.find(p[k:].strip(b"\0")) >= 0 for k in range(2, 1000, 2)):
        joined += 1
        continue
    other += 1
print("%d exact, %d joined, %d altered" % (exact, joined, other))
sys.exit(0 if exact >= 40 and joined <= 5 and other == 0 else 1)
EOF
}
wait_for 60 check_audio >"$work/audio.txt" || fail "audio not bit-exact: $(cat "$work/audio.txt")"
step "talk command: $(cat "$work/audio.txt") audio payloads of the pipe microphone"

# ---- a second instance is refused ---------------------------------------------------------
set +e
(cd "$win/run" && timeout 180 env "${client_env[@]}" "$WINE" ./orvane.exe) >"$work/logs/second.log" 2>&1
second=$?
set -e
[ "$second" = 1 ] || fail "the second orvane.exe ended with $second, not 1"
grep -q "^box: Orvane System: Another instance of application Orvane" "$work/logs/second.log" ||
  fail "the second orvane.exe showed no refusal box"
step "second instance refused with its box, exit code 1"

# ---- Escape ends it -------------------------------------------------------------------------
xdotool windowfocus "$wid" 2>/dev/null || true
xdotool key --window "$wid" Escape
code=""
for ((i = 0; i < 120; i++)); do
  if ! kill -0 "$client" 2>/dev/null; then
    set +e
    wait "$client"
    code=$?
    set -e
    break
  fi
  sleep 0.5
done
[ -n "$code" ] || fail "Escape did not end orvane.exe"
[ "$code" = 0 ] || fail "orvane.exe ended with $code after Escape"
step "Escape: exit code 0"

# ---- Parlo without Orvane -------------------------------------------------------------------
if [ -f "$win/run/Orvane/Parlo.exe" ]; then
  set +e
  (cd "$win/run" && timeout 180 env ORVANE_LAB_ANSWER_BOXES=1 "$WINE" ./Orvane/Parlo.exe) >"$work/logs/parlo.log" 2>&1
  parlo=$?
  set -e
  [ "$parlo" = 1 ] || fail "Parlo.exe without Orvane ended with $parlo, not 1"
  step "Parlo.exe without Orvane: exit code 1"
fi

grep -E '^box:' "$work/logs/orvane.log" | sed 's/^/smoke-win64: client said: /' || true
echo "smoke-win64: passed in $(( $(date +%s) - start )) s"
