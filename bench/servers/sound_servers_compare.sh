#!/usr/bin/env bash
# Mouth-to-ear latency and the listening client's CPU on both sound servers, in one run and on
# the same machine minutes: PulseAudio, then PipeWire's pulse server, then PulseAudio again
# (so that a change of load during the run shows), each with the lab's private server of
# lab/lib/sound-server.sh. Runs in a network namespace of its own (the lab's fixed ports).
#   bench/servers/sound_servers_compare.sh [BUILD_DIR] [TALKS] [SECONDS_PER_TALK] [IDLE_SECONDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
talks=${2:-10}
per_talk=${3:-3}
idle=${4:-20}
exec unshare --net bash -c '
  ip link set lo up
  build=$0 talks=$1 per_talk=$2 idle=$3
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} QT_QPA_PLATFORM=offscreen
  for server in pulseaudio pipewire pulseaudio; do
    echo "==== $server ($(date +%T), load average $(cut -d" " -f1-3 /proc/loadavg))"
    ORVANE_SOUND_SERVER=$server "$build/bench/lab_latency_bench" "$talks" "$per_talk" | sed "s/^/  /"
    ORVANE_SOUND_SERVER=$server "$build/bench/client_idle_cpu_bench" "$idle" --listening | sed "s/^/  /"
  done
' "$build" "$talks" "$per_talk" "$idle"
