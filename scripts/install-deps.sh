#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run its demo.
# Idempotent and non-interactive; safe to run again.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git
  clang clang-14 libclang-rt-14-dev lld
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # UI (Qt 6 Widgets) and fonts; the toolkit's own French texts (qtbase_fr.qm)
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  fonts-liberation fonts-dejavu-core fonts-comic-neue
  # the device icons of the parameters window (audio-input-microphone and friends)
  adwaita-icon-theme
  xvfb xauth xdotool imagemagick x11-utils
  # audio; the same audio tests also run on PipeWire's pulse server (a D-Bus session bus for
  # WirePlumber)
  pulseaudio pulseaudio-utils libpulse-dev libopus-dev sox
  pipewire pipewire-pulse wireplumber dbus
  # the desktop sound theme: the start-up chime
  sound-theme-freedesktop
  # web
  libcurl4-openssl-dev libmicrohttpd-dev libgnutls28-dev libsqlite3-dev openssl ca-certificates
  # speech and serial
  libespeak-ng-dev espeak-ng-data libsndfile1-dev libudev-dev
  # the demo talkers' French voice, made at build time
  espeak-ng
  # the Debian packages: built with CPack (dpkg-shlibdeps), checked, installed and removed
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
  # tools used by the lab and the measurements
  procps psmisc iproute2 netcat-openbsd python3
)

# The Windows cross build, its installer (NSIS) and its tests under Wine (scripts/test-win64.sh):
# only on request.
if [ "${ORVANE_WIN64:-0}" = 1 ]; then
  PACKAGES+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine xxd nsis)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -q
$SUDO apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends "${missing[@]}"
