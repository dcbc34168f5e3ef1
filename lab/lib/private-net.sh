#!/usr/bin/env bash
# private-net.sh COMMAND [ARG...] — runs COMMAND where the system's fixed ports (voice
# 30000-30010 and 31000-31010 UDP, web 44300 TCP, speech 5555 UDP) are its own: in a network
# namespace of its own when one can be made (as root a plain one, otherwise one inside a user
# namespace), with only its loopback interface, up. Two test runs, a running demo and the
# installed program then never see each other's sockets. Where no namespace can be made, it
# waits for the lab's ports lock (/tmp/orvane-ports.lock, also taken by the lab and the Windows
# smoke test outside a namespace) and runs COMMAND holding it.
#
# COMMAND replaces this script (same process id), so a caller's time-out or signal reaches it.
# It sees ORVANE_PRIVATE_NET=1 in a namespace, ORVANE_PRIVATE_NET=locked under the lock; a
# COMMAND that already sees either runs as it is (nesting costs nothing).
#
# Sourced by bash, it only defines two functions:
#   private_net_exec COMMAND [ARG...]   the same as running the script
#   private_net_lock                    for a caller that uses the machine's own network (the
#                                       lab): takes the ports lock on descriptor 9, held until
#                                       the caller and the children it starts have ended; does
#                                       nothing inside a namespace or under the lock already
#
# A namespace shares the file system: unix sockets (the sound server, X displays by path),
# lock files and /tmp stay common; only the network is private. Nothing inside reaches the
# outside network, and nothing outside reaches in.
ORVANE_PORTS_LOCK="${ORVANE_PORTS_LOCK:-/tmp/orvane-ports.lock}"

private_net_exec() {
  [ $# -gt 0 ] || { echo "private-net: no command" >&2; return 2; }
  case "${ORVANE_PRIVATE_NET:-}" in
    1 | locked) exec "$@" ;;
  esac
  if command -v unshare >/dev/null && command -v ip >/dev/null; then
    local ns
    for ns in "--net" "--user --map-root-user --net"; do
      # shellcheck disable=SC2086
      unshare $ns true 2>/dev/null || continue
      # shellcheck disable=SC2086
      exec unshare $ns env ORVANE_PRIVATE_NET=1 bash -c 'ip link set lo up || exit 125; exec "$@"' private-net "$@"
    done
  fi
  # No namespace: one user of the fixed ports at a time.
  private_net_lock || return 1
  exec "$@"
}

private_net_lock() {
  case "${ORVANE_PRIVATE_NET:-}" in
    1 | locked) return 0 ;;
  esac
  # The lock file may belong to another user; a read-only descriptor locks as well.
  { exec 9>>"$ORVANE_PORTS_LOCK"; } 2>/dev/null || { exec 9<"$ORVANE_PORTS_LOCK"; } 2>/dev/null ||
    { echo "private-net: cannot open $ORVANE_PORTS_LOCK" >&2; return 1; }
  if ! flock -n 9; then
    echo "private-net: waiting for the fixed ports (another run holds $ORVANE_PORTS_LOCK)" >&2
    flock 9
  fi
  export ORVANE_PRIVATE_NET=locked
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  private_net_exec "$@"
  exit $?
fi
