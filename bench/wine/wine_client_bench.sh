#!/usr/bin/env bash
# The Windows client under Wine beside a Linux client, measured in one lab (lab/orvane-lab up
# --windows: Orvane installed by its installer into the lab's Wine prefix):
#   - idle CPU: both clients on channel 5, where nobody talks, for SECONDS: every thread of the
#     Windows client, its Wine server and the Linux client, over the same time;
#   - requests per TCP connection of the Windows client's WinHTTP while its group list is open
#     (one row of member pictures fetched per second), from the web server's request log;
#   - mouth-to-ear latency from the Windows client's pipe microphone to the Linux client's pipe
#     speaker and back (TALKS talks of 3 s each way; as build/bench/lab_latency_bench measures
#     it between two Linux clients: a block's latency runs from when its first sample was spoken,
#     one block before the capture hands it over, to when the speaker plays that sample).
#   bench/wine/wine_client_bench.sh [SECONDS [TALKS]]   (default 30 and 5)
#   ORVANE_WIN64_DIR, ORVANE_RUN_DIR: the builds (default build-win64 and build/run).
# The lab takes the system's fixed ports: the bench runs in a network namespace of its own.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/../.."
root="$PWD"
seconds=${1:-30}
talks=${2:-5}
if [ -z "${ORVANE_PRIVATE_NET:-}" ]; then
  # shellcheck source=lab/lib/private-net.sh
  source "$root/lab/lib/private-net.sh"
  private_net_exec bash "$self" "$seconds" "$talks"
fi
work=$(mktemp -d /tmp/wine-client-bench.XXXXXX)
export ORVANE_LAB_DIR="$work/lab"
unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER PULSE_COOKIE QT_QPA_PLATFORM
LAB="$ORVANE_LAB_DIR"
RUN="${ORVANE_RUN_DIR:-$root/build/run}"
measure() { python3 "$root/bench/wine/wine_measure.py" "$@"; }
lab_pid=""
cleanup() {
  [ -n "$lab_pid" ] && kill -TERM "$lab_pid" 2>/dev/null && wait "$lab_pid" 2>/dev/null
  [ "${KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

"$root/lab/orvane-lab" up --windows --clients 2 --seconds 0 >"$work/lab.log" 2>&1 &
lab_pid=$!
until grep -q 'running; logs in' "$work/lab.log"; do
  kill -0 "$lab_pid" 2>/dev/null || { cat "$work/lab.log" >&2; exit 1; }
  sleep 0.5
done
export DISPLAY
DISPLAY=$(sed -n 's/^orvane-lab: virtual screen \(:[0-9]*\)$/\1/p' "$work/lab.log")
export PULSE_SERVER="unix:$LAB/pulse/run/native" PULSE_COOKIE="$LAB/pulse/state/cookie"
wpid=$(cat "$LAB/pids/client-1")
lpid=$(cat "$LAB/pids/client-2")
wineserver=""
for p in $(pgrep -x wineserver64 || pgrep -x wineserver || true); do
  tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$LAB/wine" && wineserver=$p
done
for pid in "$wpid" "$lpid"; do
  w=$(xdotool search --all --onlyvisible --pid "$pid" --name '^ORVANE$' | head -n 1)
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  xdotool key 5
done
sleep 10  # the moves, and the start-up's fetches and chimes, are over
echo "wine_client_bench: load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
echo
echo "== idle, both on channel 5 where nobody talks"
measure cpu "$seconds" "Windows client=$wpid" "its Wine server=$wineserver" "Linux client=$lpid"

recording_from() {
  local id
  id=$(pactl list short sources | awk -v n="lab_mic_$1" '$2 == n { print $1 }')
  pactl list short source-outputs | awk '{ print $2 }' | grep -qx "$id"
}
# latency FROM TO — TALKS talks of client FROM heard by client TO
latency() {
  local from=$1 to=$2 t n
  : >"$work/latency-$from-$to.txt"
  for ((t = 0; t < talks; t++)); do
    "$root/lab/orvane-lab" talk "$from" >/dev/null
    for ((n = 0; n < 100; n++)); do recording_from "$from" && break; sleep 0.1; done
    measure latency "$LAB/client-$from/mic.fifo" "$LAB/client-$to/heard.raw" 96 $((1000 * from + t)) >>"$work/latency-$from-$to.txt"
    "$root/lab/orvane-lab" release "$from" >/dev/null
    sleep 1
  done
  sort -n "$work/latency-$from-$to.txt" | awk -v what="$3" '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print what ": nothing heard"; exit }
      p50 = v[int(0.5 * (NR - 1) + 1.5)]; p99 = v[int(0.99 * (NR - 1) + 1.5)]
      printf "%s: %d blocks, p50 %.1f ms, p99 %.1f ms, min %.1f ms, max %.1f ms\n", what, NR, p50, p99, v[1], v[NR]
    }'
}
echo
echo "== mouth-to-ear latency ($talks talks of 3 s each way)"
latency 1 2 "Windows client's microphone to the Linux client's speaker"
latency 2 1 "Linux client's microphone to the Windows client's speaker"
echo
echo "== the Windows client's group list open for 15 s"
w1=$(xdotool search --all --onlyvisible --pid "$wpid" --name '^ORVANE$' | head -n 1)
xdotool windowmove "$w1" 250 35
since=$(grep -c '^request ' "$LAB/logs/web-server.log" || true)
xdotool mousemove --window "$w1" 30 135 click 1
sleep 15
xdotool mousemove --window "$w1" 30 135 click 1
tail -n +$((since + 1)) "$LAB/logs/web-server.log" | awk '$1 == "request" && $4 ~ /images\.php\?F=/ { n++; peers[$2] = 1 }
  END { c = 0; for (p in peers) c++; printf "member pictures: %d requests over %d TCP connections\n", n, c }'
