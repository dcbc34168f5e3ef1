#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [release|asan|tsan|fuzz|win64|package] [extra cmake args...]
# Build folders: build/ (release), build-asan/, build-tsan/, build-fuzz/, build-win64/,
# build-package/.
# package is a release build of the programs alone (no tests, no benchmarks) installed under
# /usr, made into the Debian packages orvane_*.deb and orvane-servers_*.deb in build-package/.
# win64 cross-builds for Windows with mingw-w64 (libraries from scripts/cross-deps.sh); the skin
# is drawn by the release build's generator (build/skingen/orvane_skin_gen) when it exists.
#   ORVANE_JOBS (default: number of cores); ORVANE_BUILD_TARGETS="t1 t2 ..." builds only those
#   targets instead of the flavour's usual ones (e.g. the tools another script needs).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour="${1:-release}"
shift || true

# One compiler cache for every checkout on this machine; paths are hashed relative to the
# checkout, so a fresh clone in another folder still hits the cache.
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/orvane-ccache}"
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
jobs="${ORVANE_JOBS:-$(nproc)}"
werror="${ORVANE_WERROR:-OFF}"
[ "${CI:-}" = "true" ] && werror=ON

common=(-G Ninja -DORVANE_WERROR="$werror")
case "$flavour" in
  release) dir=build; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    dir=build-asan; args=(-DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=address -DORVANE_BUILD_BENCH=OFF) ;;
  tsan)    dir=build-tsan; args=(-DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=thread -DORVANE_BUILD_BENCH=OFF) ;;
  fuzz)    dir=build-fuzz; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                                 -DORVANE_BUILD_FUZZ=ON -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF) ;;
  package) dir=build-package; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
                                     -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
                                     -DORVANE_SYSTEMD_UNIT_DIR=/lib/systemd/system
                                     -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
           # Debian's hardening (stack protector, fortified functions, read-only relocations
           # bound at start) as its packages are built.
           # The checkout's path mapping is left out: it would make every clone miss the
           # compiler cache (and the debugging data it maps is stripped from the packages).
           export DEB_BUILD_MAINT_OPTIONS=hardening=+all
           debflags() { dpkg-buildflags --get "$1" | sed 's/-ffile-prefix-map=[^ ]*//g'; }
           cppflags=$(debflags CPPFLAGS)
           args+=(-DCMAKE_C_FLAGS="$(debflags CFLAGS) $cppflags"
                  -DCMAKE_CXX_FLAGS="$(debflags CXXFLAGS) $cppflags"
                  -DCMAKE_EXE_LINKER_FLAGS="$(debflags LDFLAGS)") ;;
  win64)   dir=build-win64; args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake"
                                 -DORVANE_BUILD_BENCH=OFF)
           [ -x build/skingen/orvane_skin_gen ] && args+=(-DORVANE_HOST_SKIN_GEN="$PWD/build/skingen/orvane_skin_gen")
           bash scripts/cross-deps.sh ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" "${common[@]}" "${args[@]}" "$@"
if [ -n "${ORVANE_BUILD_TARGETS:-}" ]; then
  read -r -a targets <<<"$ORVANE_BUILD_TARGETS"
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
elif [ "$flavour" = fuzz ]; then
  cmake --build "$dir" -j "$jobs" --target orvane_fuzz_all
elif [ "$flavour" = package ]; then
  # What the packages hold, nothing else (the lab's tools and the demo voice are not in them).
  cmake --build "$dir" -j "$jobs" --target orvane parlo orvane-voice-server orvane-web-server orvane_skin \
    orvane_icons orvane_packaging_files
elif [ "$flavour" = win64 ]; then
  # The programs, their skin, their installer (it needs the skin), the portable unit tests, the
  # tests of the installed program and the lab's tool for its Wine prefix.
  targets=(orvane_win64_tests orvane_win64_programs orvane_wine_tests orvane-lab-trust-ca)
  [ -x build/skingen/orvane_skin_gen ] && targets+=(orvane_skin orvane_installer)
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
else
  cmake --build "$dir" -j "$jobs"
fi
if [ "$flavour" = package ]; then
  rm -f "$dir"/*.deb
  (cd "$dir" && cpack -G DEB)
fi
