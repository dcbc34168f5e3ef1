#!/usr/bin/env bash
# A private PulseAudio server living in one folder, for the lab, the Windows smoke test and the
# audio test fixture: its socket, cookie, state and runtime files stay in that folder, nothing
# of the machine's or the user's sound setup is read or changed, and it never exits on its own.
# Its pipe devices all speak s16le, 2 channels, 8000 Hz; a pipe sink paces itself on the
# system clock (without that it runs at its reader's speed and inserts silence) and writes
# silence while nothing plays.
#
# Sourced by bash:
#   sound_server_config DIR DEVICE...   writes DIR/server.pa (and makes DIR/run, DIR/state);
#                                       DEVICE is one of (in the order given, as many as wanted):
#       null-sink NAME                  a sink that plays nowhere
#       pipe-sink NAME FIFO             what plays on it comes out of FIFO
#       pipe-source NAME FIFO           what is written into FIFO is what it records
#       shown-as DESCRIPTION ICON       the pipe source just before is listed with this
#                                       description and icon name
#       default-sink NAME | default-source NAME
#   sound_server_start DIR LOG          starts the server of DIR/server.pa in the background,
#                                       its output in LOG; sets SOUND_SERVER_PID and exports
#                                       PULSE_SERVER and PULSE_COOKIE for its clients
#   sound_server_wait PID SECONDS       until it answers: 0; 1 when the server PID ended,
#                                       2 when it did not answer in time
#   sound_server_stop PID               SIGTERM, SIGKILL after 3 s, and reaped
#   sound_server_env DIR                prints PULSE_SERVER=... and PULSE_COOKIE=... lines
#
# Run as a program (for callers that are not bash, e.g. the C++ test fixture):
#   sound-server.sh config DIR DEVICE...   writes the configuration as above, then prints
#       PULSE_SERVER=..., PULSE_COOKIE=... and one fifo.NAME=PATH line per pipe device
#   sound-server.sh run DIR                becomes the server in the foreground (exec: the
#       caller's child is the daemon itself, which the caller stops and reaps)

# sound_server_config DIR DEVICE...
sound_server_config() {
  local dir=$1 format="format=s16le rate=8000 channels=2" lines=() last=""
  shift
  SOUND_SERVER_FIFOS=()
  while [ $# -gt 0 ]; do
    case "$1" in
      null-sink)
        [ $# -ge 2 ] || { echo "sound-server: null-sink needs a name" >&2; return 2; }
        lines+=("load-module module-null-sink sink_name=$2")
        last=""
        shift 2 ;;
      pipe-sink)
        [ $# -ge 3 ] || { echo "sound-server: pipe-sink needs a name and a fifo" >&2; return 2; }
        lines+=("load-module module-pipe-sink sink_name=$2 file=$3 $format use_system_clock_for_timing=yes")
        SOUND_SERVER_FIFOS+=("$2=$3")
        last=""
        shift 3 ;;
      pipe-source)
        [ $# -ge 3 ] || { echo "sound-server: pipe-source needs a name and a fifo" >&2; return 2; }
        lines+=("load-module module-pipe-source source_name=$2 file=$3 $format")
        SOUND_SERVER_FIFOS+=("$2=$3")
        last=source
        shift 3 ;;
      shown-as)
        [ $# -ge 3 ] || { echo "sound-server: shown-as needs a description and an icon name" >&2; return 2; }
        [ "$last" = source ] || { echo "sound-server: shown-as must follow a pipe-source" >&2; return 2; }
        lines[-1]+=" source_properties='device.description=\"$2\" device.icon_name=$3'"
        last=""
        shift 3 ;;
      default-sink | default-source)
        [ $# -ge 2 ] || { echo "sound-server: $1 needs a name" >&2; return 2; }
        lines+=("set-$1 $2")
        last=""
        shift 2 ;;
      *)
        echo "sound-server: unknown device $1" >&2
        return 2 ;;
    esac
  done
  mkdir -p "$dir/run" "$dir/state" || return 1
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/run/native"
    printf '%s\n' "${lines[@]}"
  } >"$dir/server.pa"
}

sound_server_env() {
  echo "PULSE_SERVER=unix:$1/run/native"
  echo "PULSE_COOKIE=$1/state/cookie"
}

# The daemon of DIR/server.pa, replacing the calling process (in a background job: the job's
# process id is the daemon's).
_sound_server_exec() {
  local dir=$1
  exec env -u PULSE_SERVER HOME="$dir/state" PULSE_RUNTIME_PATH="$dir/run" PULSE_STATE_PATH="$dir/state" \
    XDG_RUNTIME_DIR="$dir/run" \
    pulseaudio --daemonize=no -n -F "$dir/server.pa" --exit-idle-time=-1 --use-pid-file=no \
    --realtime=no --high-priority=no --disallow-exit --log-target=stderr
}

# sound_server_start DIR LOG
sound_server_start() {
  local dir=$1 log=$2
  [ -f "$dir/server.pa" ] || { echo "sound-server: no $dir/server.pa (sound_server_config first)" >&2; return 2; }
  _sound_server_exec "$dir" </dev/null >"$log" 2>&1 &
  # shellcheck disable=SC2034  # for the caller
  SOUND_SERVER_PID=$!
  export PULSE_SERVER="unix:$dir/run/native" PULSE_COOKIE="$dir/state/cookie"
}

# sound_server_wait PID SECONDS — against PULSE_SERVER (any server, not only a private one).
sound_server_wait() {
  local pid=$1 tries=$(($2 * 10)) i
  for ((i = 0; i < tries; i++)); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 2
}

sound_server_stop() {
  local pid=$1 n=0
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ $n -lt 30 ]; do sleep 0.1; n=$((n + 1)); done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  case "${1:-}" in
    config)
      [ $# -ge 2 ] || { echo "usage: sound-server.sh config DIR DEVICE..." >&2; exit 2; }
      dir=$2
      shift 2
      sound_server_config "$dir" "$@" || exit
      sound_server_env "$dir"
      for fifo in "${SOUND_SERVER_FIFOS[@]}"; do echo "fifo.$fifo"; done ;;
    run)
      if [ $# -ne 2 ] || [ ! -f "$2/server.pa" ]; then
        echo "usage: sound-server.sh run DIR (after sound-server.sh config DIR ...)" >&2
        exit 2
      fi
      _sound_server_exec "$2" ;;
    *)
      echo "usage: sound-server.sh config DIR DEVICE... | run DIR" >&2
      exit 2 ;;
  esac
fi
