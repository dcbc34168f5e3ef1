#!/usr/bin/env bash
# A private sound server living in one folder, for the lab, the Windows smoke test and the
# audio test fixture: its socket, cookie, state and runtime files stay in that folder, nothing
# of the machine's or the user's sound setup is read or changed, and it never exits on its own.
# Its pipe devices all speak s16le, 2 channels, 8000 Hz; a pipe sink paces itself on the
# system clock (without that it runs at its reader's speed and inserts silence) and writes
# silence while nothing plays.
#
# ORVANE_SOUND_SERVER chooses the server: pulseaudio (the default) or pipewire, that is
# PipeWire with WirePlumber and its pulse server (pipewire-pulse), which is what today's
# desktops serve libpulse programs from. The PipeWire flavour runs the three with a D-Bus
# session bus of their own under one supervising process, its graph at 8000 Hz (so that
# 8000 Hz streams are not resampled and stay bit for bit), loads the same pipe devices through
# its pulse server and only then opens the same socket (DIR/run/native): clients see the same
# server address, fifos and device names whichever runs.
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
  local dir=$1 format="format=s16le rate=8000 channels=2" lines=() last="" defaults=()
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
        defaults+=("set-$1 $2")
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
    [ ${#lines[@]} -gt 0 ] && printf '%s\n' "${lines[@]}"
    [ ${#defaults[@]} -gt 0 ] && printf '%s\n' "${defaults[@]}"
  } >"$dir/server.pa"
  [ "$(_sound_server_kind)" = pipewire ] && _sound_server_pipewire_config "$dir"
  return 0
}

_sound_server_kind() {
  case "${ORVANE_SOUND_SERVER:-pulseaudio}" in
    pipewire) echo pipewire ;;
    *) echo pulseaudio ;;
  esac
}

# PipeWire's configuration beside server.pa: the graph's clock at 8000 Hz, the pulse server on
# a socket of the folder (published as run/native once the devices are in place), no
# realtime module (no rtkit without a desktop session).
_sound_server_pipewire_config() {
  local dir=$1
  mkdir -p "$dir/config/pipewire/pipewire.conf.d" "$dir/config/pipewire/pipewire-pulse.conf.d" \
    "$dir/config/wireplumber" || return 1
  cat >"$dir/config/pipewire/pipewire.conf.d/orvane.conf" <<CONF
context.properties = {
    default.clock.rate          = 8000
    default.clock.allowed-rates = [ 8000 ]
}
CONF
  cat >"$dir/config/pipewire/pipewire-pulse.conf.d/orvane.conf" <<CONF
pulse.properties = {
    server.address = [ "unix:$dir/run/pipewire-native" ]
}
CONF
}

sound_server_env() {
  echo "PULSE_SERVER=unix:$1/run/native"
  echo "PULSE_COOKIE=$1/state/cookie"
}

# The daemon of DIR/server.pa, replacing the calling process (in a background job: the job's
# process id is the daemon's, or with PipeWire its supervisor's).
_sound_server_exec() {
  local dir=$1
  if [ "$(_sound_server_kind)" = pipewire ]; then
    exec env -u PULSE_SERVER -u DBUS_SESSION_BUS_ADDRESS HOME="$dir/state" XDG_RUNTIME_DIR="$dir/run" \
      XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/state" \
      PIPEWIRE_RUNTIME_DIR="$dir/run" bash "${BASH_SOURCE[0]}" pipewire-supervisor "$dir"
  fi
  exec env -u PULSE_SERVER HOME="$dir/state" PULSE_RUNTIME_PATH="$dir/run" PULSE_STATE_PATH="$dir/state" \
    XDG_RUNTIME_DIR="$dir/run" \
    pulseaudio --daemonize=no -n -F "$dir/server.pa" --exit-idle-time=-1 --use-pid-file=no \
    --realtime=no --high-priority=no --disallow-exit --log-target=stderr
}

# The PipeWire flavour's supervising process: a session bus, PipeWire, WirePlumber and the pulse
# server, each made to die with it (also when it is killed), the devices of server.pa loaded
# through the pulse server, then the socket published. SIGTERM stops them all.
_sound_server_pipewire_supervise() {
  local dir=$1 children=() n
  local pw_server="unix:$dir/run/pipewire-native"
  chmod 700 "$dir/run"
  rm -f "$dir/run/native" "$dir/run/pipewire-native" "$dir/run/bus"
  stop_children() {
    local pid
    for pid in "${children[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${children[@]}"; do wait "$pid" 2>/dev/null; done
    rm -f "$dir/run/native"
    exit 0
  }
  trap stop_children TERM INT EXIT
  child() { setpriv --pdeathsig TERM -- "$@" </dev/null & children+=($!); }
  # dbus-daemon gives up the signal set to it at its parent's death (it changes its
  # credentials), so a small shell that keeps it gets that signal and ends it.
  child bash -c 'dbus-daemon --session --address="$1" --nofork --nopidfile --nosyslog & bus=$!
    trap "kill \$bus; wait \$bus; exit 0" TERM
    wait $bus' bus "unix:path=$dir/run/bus"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/run/bus"
  for ((n = 0; n < 100; n++)); do
    [ -S "$dir/run/bus" ] && break
    sleep 0.05
  done
  child pipewire
  # WirePlumber and the pulse server give up when PipeWire's socket is not there yet.
  for ((n = 0; n < 200; n++)); do
    [ -S "$dir/run/pipewire-0" ] && break
    sleep 0.05
  done
  child wireplumber
  child pipewire-pulse
  for ((n = 0; n < 200; n++)); do
    PULSE_SERVER=$pw_server pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  local line module args
  while read -r line; do
    case "$line" in
      "load-module module-native-protocol-unix "*) ;;
      load-module\ *)
        line=${line#load-module }
        module=${line%% *}
        args=${line#"$module"}
        PULSE_SERVER=$pw_server pactl load-module "$module" "${args# }" >/dev/null ||
          echo "sound-server: pipewire could not load $module" >&2 ;;
      set-default-sink\ * | set-default-source\ *)
        # Honoured once WirePlumber is up: asked again until it holds.
        local what=${line%% *} name=${line#* }
        for ((n = 0; n < 100; n++)); do
          PULSE_SERVER=$pw_server pactl "$what" "$name" >/dev/null 2>&1 &&
            [ "$(PULSE_SERVER=$pw_server pactl "${what/set-/get-}" 2>/dev/null)" = "$name" ] && break
          sleep 0.05
        done ;;
    esac
  done <"$dir/server.pa"
  ln -s "$dir/run/pipewire-native" "$dir/run/native"
  echo "sound-server: PipeWire ready ($(PULSE_SERVER=$pw_server pactl info 2>/dev/null | sed -n 's/^Server Name: //p'))" >&2
  while :; do
    wait -n
    # One of them ended: the server is no longer whole.
    local alive=0 pid
    for pid in "${children[@]}"; do kill -0 "$pid" 2>/dev/null && alive=$((alive + 1)); done
    [ "$alive" = "${#children[@]}" ] || { echo "sound-server: a PipeWire process ended" >&2; stop_children; }
  done
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
    pipewire-supervisor)
      _sound_server_pipewire_supervise "$2" ;;
    *)
      echo "usage: sound-server.sh config DIR DEVICE... | run DIR" >&2
      exit 2 ;;
  esac
fi
