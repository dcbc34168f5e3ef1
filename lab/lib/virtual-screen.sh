#!/usr/bin/env bash
# A virtual screen (Xvfb, 1024 x 800, 24-bit colour, no TCP listener) on the first free display
# from :90 up, for the lab and the Windows smoke test.
#
# Sourced by bash:
#   virtual_screen_start LOG [WxHxD]  starts Xvfb in the background, its output in LOG; sets
#                                  VIRTUAL_SCREEN_PID and exports DISPLAY (":N"); the size is
#                                  1024x800x24 unless given (two 550-wide windows side by
#                                  side need 1280x800x24)
#   virtual_screen_wait PID SECONDS   until its socket is there: 0; 1 when Xvfb PID ended,
#                                  2 when the socket did not come in time
#   virtual_screen_stop PID        SIGTERM, SIGKILL after 3 s, and reaped

virtual_screen_start() {
  local log=$1 size=${2:-1024x800x24} n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "$size" -nolisten tcp </dev/null >"$log" 2>&1 &
  # shellcheck disable=SC2034  # for the caller
  VIRTUAL_SCREEN_PID=$!
  export DISPLAY=":$n"
}

virtual_screen_wait() {
  local pid=$1 tries=$(($2 * 10)) socket="/tmp/.X11-unix/X${DISPLAY#:}" i
  for ((i = 0; i < tries; i++)); do
    [ -e "$socket" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 2
}

virtual_screen_stop() {
  local pid=$1 n=0
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ $n -lt 30 ]; do sleep 0.1; n=$((n + 1)); done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
