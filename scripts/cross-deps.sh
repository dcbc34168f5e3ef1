#!/usr/bin/env bash
# Cross-builds, for 64-bit Windows, the libraries the Windows programs and their tests link:
# libopus from Debian's source package and GoogleTest from the googletest package's sources.
# Installed into one prefix that later runs reuse (nothing is rebuilt when it is complete).
#   ORVANE_WIN64_PREFIX (default ~/.cache/orvane-win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix="${ORVANE_WIN64_PREFIX:-$HOME/.cache/orvane-win64}"
triple=x86_64-w64-mingw32
jobs="${ORVANE_JOBS:-$(nproc)}"
work="$prefix/src"
mkdir -p "$prefix" "$work"

have_opus() { [ -f "$prefix/lib/libopus.a" ] && [ -f "$prefix/lib/pkgconfig/opus.pc" ]; }
have_gtest() { [ -f "$prefix/lib/libgtest.a" ] && [ -f "$prefix/lib/libgmock.a" ] && [ -d "$prefix/lib/cmake/GTest" ]; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Debian's sources of opus: a deb-src entry is added only for the download, then removed again,
# so the machine's package lists stay as they were.
fetch_opus_source() {
  local list=/etc/apt/sources.list.d/orvane-deb-src.sources
  local uris suites signed
  uris=$(awk -F': ' '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  signed=$(awk -F': ' '/^Signed-By:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  uris="${uris:-http://deb.debian.org/debian}"
  signed="${signed:-/usr/share/keyrings/debian-archive-keyring.gpg}"
  suites="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  cleanup_src() { $SUDO rm -f "$list"; $SUDO apt-get update -q >/dev/null 2>&1 || true; }
  trap cleanup_src EXIT
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$uris" "$suites" "$signed" | $SUDO tee "$list" >/dev/null
  $SUDO apt-get update -q >/dev/null
  (cd "$work" && apt-get source --download-only opus)
  cleanup_src
  trap - EXIT
}

build_opus() {
  local orig debian dir
  orig=$(ls "$work"/opus_*.orig.tar.* 2>/dev/null | head -1 || true)
  if [ -z "$orig" ]; then
    fetch_opus_source
    orig=$(ls "$work"/opus_*.orig.tar.* | head -1)
  fi
  debian=$(ls "$work"/opus_*.debian.tar.* 2>/dev/null | head -1 || true)
  dir="$work/opus"
  rm -rf "$dir" && mkdir -p "$dir"
  tar -xf "$orig" -C "$dir" --strip-components=1
  if [ -n "$debian" ]; then
    tar -xf "$debian" -C "$dir"
    if [ -f "$dir/debian/patches/series" ]; then
      while read -r p; do
        case "$p" in ''|'#'*) continue ;; esac
        patch -d "$dir" -p1 -s < "$dir/debian/patches/${p%% *}"
      done < "$dir/debian/patches/series"
    fi
  fi
  (cd "$dir" && ./configure -q --host="$triple" --prefix="$prefix" --disable-shared --enable-static \
     --disable-doc --disable-extra-programs CFLAGS="-O2" && make -s -j "$jobs" && make -s install)
}

build_gtest() {
  local dir="$work/googletest-build"
  rm -rf "$dir"
  cmake -S /usr/src/googletest -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -Dgtest_force_shared_crt=ON >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  cmake --install "$dir" >/dev/null
}

if have_opus; then echo "cross-deps: libopus present in $prefix"; else echo "cross-deps: building libopus"; build_opus; fi
if have_gtest; then echo "cross-deps: GoogleTest present in $prefix"; else echo "cross-deps: building GoogleTest"; build_gtest; fi
