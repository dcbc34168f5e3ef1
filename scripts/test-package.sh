#!/usr/bin/env bash
# The Debian packages from end to end, as a stage of scripts/test.sh:
#   1. builds them (scripts/build.sh package: build-package/orvane_*.deb, orvane-servers_*.deb);
#   2. checks them: lintian (no error; every tag it gives is kept in the report),
#      desktop-file-validate and appstreamcli validate --no-net on the files they ship,
#      systemd-analyze verify on the servers' units once installed;
#   3. installs both on this machine (apt-get, no recommended extras: the project's
#      dependencies are there already), runs the installed Orvane and Parlo from the home
#      folder against the lab's servers (tests/package/installed_run.sh, in a network
#      namespace of its own: the lab's ports are fixed);
#   4. removes them (apt-get purge) and checks that none of their files and none of the
#      folders they brought is left.
# Needs the release build's lab (build/run). Figures and reports in build-package/check/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build-package/check
apt_opts=(-y -q -o DPkg::Lock::Timeout=600)
export DEBIAN_FRONTEND=noninteractive

timed() { # timed VAR COMMAND... — runs it, stores its seconds in VAR
  local var=$1 start end
  shift
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  printf -v "$var" '%s' "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')"
}

[ -x build/run/orvane-voice-server ] && [ -x build/run/orvane-web-server ] ||
  { echo "test-package: the lab's servers are not built (bash scripts/build.sh release)" >&2; exit 2; }
for p in orvane orvane-servers; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    echo "test-package: $p is already installed on this machine; remove it first" >&2
    exit 2
  fi
done

timed build_seconds bash scripts/build.sh package
rm -rf "$out"
mkdir -p "$out"
client_deb=$(ls build-package/orvane_*.deb)
servers_deb=$(ls build-package/orvane-servers_*.deb)

# ---- checks of the packages ----
status=0
for deb in "$client_deb" "$servers_deb"; do
  name=$(basename "$deb")
  if ! lintian --fail-on error --display-info "$deb" >"$out/lintian-${name%%_*}.txt" 2>&1; then
    echo "test-package: lintian finds errors in $name:" >&2
    status=1
  fi
  sed "s/^/  lintian $name: /" "$out/lintian-${name%%_*}.txt"
done
tree="$out/tree"
mkdir -p "$tree"
dpkg-deb -x "$client_deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/orvane.desktop" || status=1
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml || status=1
[ "$status" = 0 ] || { echo "test-package: the packages do not pass their checks" >&2; exit 1; }

# ---- install, run, remove ----
# The folders the packages would bring (those not on the machine yet) must go with them.
new_folders="$out/new-folders.txt"
: >"$new_folders"
for deb in "$client_deb" "$servers_deb"; do
  dpkg-deb -c "$deb" | awk '$1 ~ /^d/ { print substr($NF, 2) }' | sed 's#/$##' | while read -r d; do
    if [ -n "$d" ] && [ ! -e "$d" ]; then echo "$d"; fi
  done >>"$new_folders"
done

purged=0
remove_packages() {
  [ "$purged" = 1 ] && return 0
  purged=1
  apt-get purge "${apt_opts[@]}" orvane orvane-servers >"$out/purge.log" 2>&1
}
trap 'remove_packages || true' EXIT

timed install_seconds apt-get install "${apt_opts[@]}" --no-install-recommends "./$client_deb" "./$servers_deb" \
  >"$out/install.log" 2>&1 || { tail -n 20 "$out/install.log" >&2; exit 1; }
# Every file (not folder) they put on the machine, as dpkg knows it.
dpkg -L orvane orvane-servers | sort -u | while read -r path; do
  if [ -f "$path" ] && [ ! -d "$path" ]; then echo "$path"; fi
done >"$out/files.txt"
run_status=0
for unit in orvane-voice-server orvane-web-server; do
  systemd-analyze verify --man=no "/lib/systemd/system/$unit.service" >"$out/verify-$unit.txt" 2>&1 ||
    { echo "test-package: systemd-analyze verify $unit:" >&2; cat "$out/verify-$unit.txt" >&2; run_status=1; }
done
# The lab's fixed ports in a network namespace of its own (or under the ports lock).
bash "$root/lab/lib/private-net.sh" bash "$root/tests/package/installed_run.sh" "$root" "$root/build/run" "$root/$out" ||
  run_status=1

timed purge_seconds remove_packages || { tail -n 20 "$out/purge.log" >&2; exit 1; }
left=0
while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then
    echo "test-package: $path is left after the removal" >&2
    left=1
  fi
done <"$out/files.txt"
while read -r d; do
  [ -e "$d" ] && { echo "test-package: folder $d is left after the removal" >&2; left=1; }
done <"$new_folders"
dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q "installed" && { echo "test-package: orvane still known to dpkg" >&2; left=1; }

size() { stat -c %s "$1"; }
{
  echo "orvane package: $(size "$client_deb") bytes, installed $(dpkg-deb -f "$client_deb" Installed-Size) KiB"
  echo "orvane-servers package: $(size "$servers_deb") bytes, installed $(dpkg-deb -f "$servers_deb" Installed-Size) KiB"
  echo "package build: $build_seconds s; install of both: $install_seconds s; purge of both: $purge_seconds s"
  [ -f "$out/figures.txt" ] && cat "$out/figures.txt"
} | tee "$out/summary.txt"
[ "$run_status" = 0 ] && [ "$left" = 0 ] || exit 1
echo "test-package: ok"
