#!/usr/bin/env bash
# The lab as the README's first command runs it, headless: it must come up, photograph its
# virtual screen, give the clients their accounts, and leave nothing running behind it.
#   lab_smoke.sh RUN_DIR SOURCE_DIR
set -uo pipefail
run="$1"
src="$2"
lab=$(mktemp -d /tmp/orvane-lab-smoke.XXXXXX)
fail() { echo "lab smoke: $*" >&2; tail -n 20 "$lab"/logs/*.log >&2; exit 1; }

env -u DISPLAY -u WAYLAND_DISPLAY ORVANE_RUN_DIR="$run" ORVANE_LAB_DIR="$lab" \
  bash "$src/lab/orvane-lab" demo --clients 2 --seconds 20 </dev/null || fail "the lab ended with status $?"

shots=$(ls "$lab"/screenshots/*.png 2>/dev/null | wc -l)
[ "$shots" -ge 2 ] || fail "$shots screenshots"
log="$lab/logs/voice-server.log"
for who in 3001 3002 3010; do
  grep -q "join channel .* account $who " "$log" || fail "demo talker $who never joined"
done
joined=$(grep -c "account 19704 -> " "$log")
[ "$joined" -ge 2 ] || fail "the clients did not get their accounts from the web server ($joined)"
grep -q "talk start channel 0 account 300" "$log" || fail "no demo talker spoke"
for f in "$lab"/pids/*; do
  pid=$(cat "$f")
  if kill -0 "$pid" 2>/dev/null; then fail "$(basename "$f") (pid $pid) still runs"; fi
done
rm -rf "$lab"
echo "lab smoke: ok ($shots screenshots)"
