#!/usr/bin/env bash
# The installed Orvane as a user meets it, against the lab's servers on loopback: started from
# the home folder on a virtual screen, its window must be painted with the installed skin, and
# a click on its speech icon must start the installed Parlo, which speaks at the pipe speaker.
# Binds the lab's fixed ports: run it in a network namespace of its own
# (scripts/test-package.sh does).
#   installed_run.sh SOURCE_DIR RUN_DIR OUT_DIR
# RUN_DIR holds the lab's servers (build/run); OUT_DIR receives the screenshot, the sound heard
# and figures.txt (start-up to first paint, Parlo's first sound after the click).
set -uo pipefail
src=$1 run=$2 out=$3
mkdir -p "$out"
# shellcheck source=lab/lib/sound-server.sh
source "$src/lab/lib/sound-server.sh"
# shellcheck source=lab/lib/virtual-screen.sh
source "$src/lab/lib/virtual-screen.sh"

work=$(mktemp -d /tmp/orvane-installed.XXXXXX)
SOUND_PID="" SCREEN_PID="" LAB_PID="" CLIENT_PID="" RECORDER_PID="" parlo=""
stop_pid() {
  local pid=$1 n=0
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ $n -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop_pid "$CLIENT_PID"
  [ -n "$parlo" ] && kill -TERM "$parlo" 2>/dev/null
  stop_pid "$LAB_PID"
  stop_pid "$RECORDER_PID"
  virtual_screen_stop "$SCREEN_PID"
  sound_server_stop "$SOUND_PID"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "installed run: $*" >&2
  for f in "$work"/*.log "$work"/lab/logs/*.log; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -n 15 "$f" >&2; }
  done
  exit 1
}
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

program=$(command -v orvane) || fail "no orvane on PATH"
case "$program" in /usr/bin/orvane) ;; *) fail "orvane on PATH is $program, not the installed /usr/bin/orvane" ;; esac
[ -x /usr/libexec/orvane/parlo ] || fail "no installed Parlo at /usr/libexec/orvane/parlo"

# A private sound server whose default sink is a pipe speaker (8000 Hz, 2 channels, s16le,
# paced by the clock: 32000 bytes a second, silence while nothing plays), and a screen.
sound_server_config "$work/pulse" pipe-sink speaker "$work/speaker.fifo" pipe-source mic "$work/mic.fifo" \
  default-sink speaker default-source mic || fail "sound server configuration"
sound_server_start "$work/pulse" "$work/sound-server.log"
SOUND_PID=$SOUND_SERVER_PID
sound_server_wait "$SOUND_PID" 20 || fail "the sound server did not start"
cat "$work/speaker.fifo" >"$work/heard.raw" &
RECORDER_PID=$!
recording_started=$(now)
virtual_screen_start "$work/xvfb.log"
SCREEN_PID=$VIRTUAL_SCREEN_PID
virtual_screen_wait "$SCREEN_PID" 10 || fail "the virtual screen did not start"

# The lab's voice and web servers alone (its clients and talkers left out).
ORVANE_RUN_DIR="$run" ORVANE_LAB_DIR="$work/lab" bash "$src/lab/orvane-lab" up --clients 0 --no-talkers \
  --seconds 600 </dev/null >"$work/lab.log" 2>&1 &
LAB_PID=$!
ca="$work/lab/web/ca/ca.pem"
for _ in $(seq 200); do
  grep -q "listening on port" "$work/lab/logs/web-server.log" 2>/dev/null && [ -f "$ca" ] && break
  kill -0 "$LAB_PID" 2>/dev/null || fail "the lab ended"
  sleep 0.1
done
[ -f "$ca" ] || fail "the lab's web server did not start"
# This machine's account, set up as a user's (a card and a colour).
serial=424299
db="$work/lab/web/orvane-web.db"
account=$("$run/orvane-web-server" create-account --db "$db" --machine "$(printf '%016d' $serial)") ||
  fail "cannot make the account"
"$run/orvane-web-server" set-card --db "$db" --account "$account" --prenom "Paquet" --ville "Debian" \
  --phrase "Orvane installé" >/dev/null || fail "cannot set the card"
"$run/orvane-web-server" set-background --db "$db" --account "$account" --colorref 402010 >/dev/null ||
  fail "cannot set the parameters"

# The installed program, from the home folder, as a desktop menu starts it.
home=${HOME:-/root}
mkdir -p "$work/xdg"
chmod 700 "$work/xdg"
started=$(now)
(cd "$home" && exec env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/xdg" ORVANE_LAB_VOLUME_SERIAL=$serial \
  ORVANE_WEB_CA_FILE="$ca" ORVANE_LAB_ANSWER_BOXES=1 orvane) >"$work/orvane.log" 2>&1 &
CLIENT_PID=$!
[ "$(readlink "/proc/$CLIENT_PID/cwd")" = "$home" ] || fail "the program does not run from $home"

# Its window, then the skin on it: the channel panel's middle, as the installed 0.bmp has it.
window=""
for _ in $(seq 500); do
  window=$(xdotool search --onlyvisible --pid "$CLIENT_PID" --name '^ORVANE$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$CLIENT_PID" 2>/dev/null || fail "orvane ended at start-up: $(cat "$work/orvane.log")"
  sleep 0.01
done
[ -n "$window" ] || fail "no ORVANE window"
mapped=$(seconds_since "$started")
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" = 550 ] && [ "$HEIGHT" = 730 ] || fail "the window is ${WIDTH}x$HEIGHT"
panel_x=60 panel_y=30 region=60x40
expected=$(/usr/bin/convert /usr/share/orvane/0.bmp -crop "$region+$panel_x+$panel_y" +repage -depth 8 rgb:- | md5sum)
# A screenshot takes a while here: the skin was on screen when the first screenshot showing it
# began, and not yet when the one before it began.
painted="" not_yet=$mapped
for _ in $(seq 200); do
  shot_began=$(seconds_since "$started")
  /usr/bin/import -display "$DISPLAY" -window root "$work/shot.png" 2>/dev/null || continue
  seen=$(/usr/bin/convert "$work/shot.png" -crop "$region+$((X + 10 + panel_x))+$((Y + 80 + panel_y))" +repage \
    -depth 8 rgb:- | md5sum)
  if [ "$seen" = "$expected" ]; then
    painted=$shot_began
    break
  fi
  not_yet=$shot_began
  sleep 0.02
done
[ -n "$painted" ] || fail "the channel panel never showed the installed skin"
# The title in yellow on the frame.
yellow=$(/usr/bin/convert "$work/shot.png" -crop "300x20+$((X + 125))+$((Y + 15))" +repage -depth 8 txt:- |
  grep -c "#FFFF00")
[ "$yellow" -gt 50 ] || fail "no yellow title ($yellow pixels)"
cp "$work/shot.png" "$out/installed-orvane.png"

# The speech icon: the installed Parlo starts and speaks its announcements at the speaker.
sleep 3  # the start-up chime is over
pgrep -x -P "$CLIENT_PID" parlo >/dev/null && fail "a Parlo runs before the click"
clicked=$(now)
xdotool mousemove --window "$window" 31 24 click 1
for _ in $(seq 100); do
  parlo=$(pgrep -x -P "$CLIENT_PID" parlo | head -n 1)
  [ -n "$parlo" ] && break
  sleep 0.05
done
[ -n "$parlo" ] || fail "the click started no Parlo"
[ "$(readlink "/proc/$parlo/exe")" = /usr/libexec/orvane/parlo ] ||
  fail "Parlo runs from $(readlink "/proc/$parlo/exe")"
sleep 8
kill -0 "$parlo" 2>/dev/null || fail "Parlo ended by itself"
heard=$(python3 - "$work/heard.raw" "$(awk -v a="$recording_started" -v b="$clicked" 'BEGIN { print b - a }')" <<'PY'
import struct, sys
raw = open(sys.argv[1], 'rb').read()
click = float(sys.argv[2])
rate = 32000  # bytes a second: 8000 frames of 2 channels of 16 bits
start = int(click * rate) & ~3
samples = struct.unpack('<%dh' % ((len(raw) - start) // 2), raw[start:start + (len(raw) - start) // 2 * 2])
loud = [i for i, s in enumerate(samples) if abs(s) > 300]
if not loud:
    print('none')
else:
    first = loud[0] / 2 / 8000
    span = (loud[-1] - loud[0]) / 2 / 8000
    peak = max(abs(s) for s in samples)
    print('%.3f %.2f %d' % (first, span, peak))
PY
)
[ "$heard" != none ] && [ -n "$heard" ] || fail "nothing heard at the speaker after the click"
read -r first_sound speech_span peak <<<"$heard"
awk -v s="$speech_span" 'BEGIN { exit !(s >= 1.0) }' || fail "Parlo spoke only ${speech_span} s"

# Escape ends the program (exit code 0) and its stop request ends Parlo.
xdotool windowfocus --sync "$window" key Escape
code=""
for _ in $(seq 100); do
  if ! kill -0 "$CLIENT_PID" 2>/dev/null; then
    wait "$CLIENT_PID"
    code=$?
    CLIENT_PID=""
    break
  fi
  sleep 0.1
done
[ "$code" = 0 ] || fail "orvane did not end with code 0 after Escape (${code:-still running})"
for _ in $(seq 200); do
  kill -0 "$parlo" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$parlo" 2>/dev/null && fail "Parlo still runs after Orvane ended"
grep -q "^box:" "$work/orvane.log" && fail "a message box came up: $(grep '^box:' "$work/orvane.log")"

cat >"$out/figures.txt" <<FIG
start-up to window mapped (from $home): $mapped s
start-up to the skin on screen (from $home): between $not_yet and $painted s
click on the speech icon to Parlo's first sound at the speaker: $first_sound s
Parlo's announcements: $speech_span s of speech, peak $peak
FIG
cat "$out/figures.txt"
echo "installed run: ok"
