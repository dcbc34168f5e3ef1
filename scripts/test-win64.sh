#!/usr/bin/env bash
# The Windows build's tests: installs mingw-w64 and Wine when missing, cross-builds the
# libraries (cached in ~/.cache/orvane-win64), builds build-win64/ (the programs, the skin and
# the unit tests), runs the unit tests under Wine (in a Wine prefix of the build folder: the
# first start takes several seconds), then the smoke test of orvane.exe under Wine
# (scripts/smoke-win64.sh), whose voice server and lab tool come from the release build.
#   ORVANE_JOBS (default: number of cores); ORVANE_WIN64_SKIP_SMOKE=1 leaves the smoke test out.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${ORVANE_JOBS:-$(nproc)}"
start=$(date +%s)
ORVANE_WIN64=1 bash scripts/install-deps.sh
# The skin is drawn by the build machine's generator, and the smoke test needs the lab's voice
# server and tool: the release build's, made here (those three only) when missing.
if [ ! -x build/skingen/orvane_skin_gen ] || [ ! -x build/run/orvane-voice-server ] || [ ! -x build/run/orvane-lab-tool ]; then
  ORVANE_JOBS="$jobs" ORVANE_BUILD_TARGETS="orvane_skin_gen orvane-voice-server orvane-lab-tool" bash scripts/build.sh release
fi
bash scripts/build.sh win64
# Wine's first start makes the prefix, its server and its system processes; test programs
# started together against a prefix whose server is still coming up (or just going away) can
# fail to reach it. So the server is kept running through the tests, and the prefix and its
# system processes are brought up by one program first, with no output of the tests' to hold.
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver="$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver)"
export WINEPREFIX="$PWD/build-win64/wine"
mkdir -p "$WINEPREFIX"
"$wineserver" -w
"$wineserver" -p 30
# Wine makes no top-level window without a display: the unit tests that open windows get a
# virtual screen of their own.
. lab/lib/virtual-screen.sh
virtual_screen_start build-win64/unit-tests-xvfb.log
# A failing test must not leave the screen, nor the prefix's server and its system programs.
trap 'virtual_screen_stop "$VIRTUAL_SCREEN_PID"; "$wineserver" -k 2>/dev/null || true' EXIT
virtual_screen_wait "$VIRTUAL_SCREEN_PID" 20 || { echo "test-win64: no virtual screen" >&2; exit 1; }
warm="$(find build-win64/tests -name net_test.exe -print -quit)"
bash cmake/wine-run.sh "$warm" --gtest_list_tests </dev/null >/dev/null 2>&1
unit_start=$(date +%s)
(cd build-win64 && ctest --output-on-failure -j "$jobs" --timeout 600 -R "$(cat win64-tests.regex)")
echo "test-win64: unit tests under Wine in $(( $(date +%s) - unit_start )) s"
virtual_screen_stop "$VIRTUAL_SCREEN_PID"
trap - EXIT
unset DISPLAY
"$wineserver" -k || true
"$wineserver" -w
unset WINEPREFIX
if [ "${ORVANE_WIN64_SKIP_SMOKE:-0}" != 1 ]; then
  bash scripts/smoke-win64.sh build-win64 build
fi
echo "test-win64: passed in $(( $(date +%s) - start )) s"
