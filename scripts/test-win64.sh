#!/usr/bin/env bash
# The Windows build's tests: installs mingw-w64, NSIS and Wine when missing, cross-builds the
# libraries (cached in ~/.cache/orvane-win64), builds build-win64/ (the programs, the skin, the
# installer and the tests), runs the unit tests under Wine (in a Wine prefix of the build
# folder: the first start takes several seconds), the smoke test of orvane.exe under Wine
# (scripts/smoke-win64.sh), then the test of the program installed by its installer, beside a
# Linux client in the lab (tests/wine/installed_test.sh). The servers, the lab's tools and the
# Linux client come from the release build.
#   ORVANE_JOBS (default: number of cores); ORVANE_WIN64_SKIP_SMOKE=1 leaves the smoke test out,
#   ORVANE_WIN64_SKIP_INSTALLED=1 the installed program's test.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${ORVANE_JOBS:-$(nproc)}"
start=$(date +%s)
ORVANE_WIN64=1 bash scripts/install-deps.sh
# The skin is drawn by the build machine's generator, and the Wine tests need the lab: its
# servers, demo talkers and tools, and a Linux client with its skin. The release build's, made
# here (those only) when missing.
release_targets="orvane_skin_gen orvane_skin orvane orvane-voice-server orvane-web-server orvane-demo-talkers orvane-lab-tool"
for t in skingen/orvane_skin_gen run/orvane run/orvane-voice-server run/orvane-web-server run/orvane-demo-talkers run/orvane-lab-tool; do
  if [ ! -x "build/$t" ]; then
    ORVANE_JOBS="$jobs" ORVANE_BUILD_TARGETS="$release_targets" bash scripts/build.sh release
    break
  fi
done
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
# A Windows program always has a display: the window tests run on a virtual screen, which
# the prefix's first program (and with it Wine's desktop process) is started on.
# shellcheck source=lab/lib/virtual-screen.sh
source lab/lib/virtual-screen.sh
unset DISPLAY WAYLAND_DISPLAY
screen_log=$(mktemp /tmp/orvane-win64-xvfb.XXXXXX)
virtual_screen_start "$screen_log"
screen_pid=$VIRTUAL_SCREEN_PID
# A failed test must not leave the prefix's server and Wine's system processes running.
trap '"$wineserver" -k 2>/dev/null; virtual_screen_stop "$screen_pid"; rm -f "$screen_log"' EXIT
virtual_screen_wait "$screen_pid" 20 || { echo "test-win64: Xvfb did not start: $(cat "$screen_log")" >&2; exit 1; }
"$wineserver" -p 30
warm="$(find build-win64/tests -name net_test.exe -print -quit)"
bash cmake/wine-run.sh "$warm" --gtest_list_tests </dev/null >/dev/null 2>&1
unit_start=$(date +%s)
(cd build-win64 && ctest --output-on-failure -j "$jobs" --timeout 600 -R "$(cat win64-tests.regex)")
echo "test-win64: unit tests under Wine in $(( $(date +%s) - unit_start )) s"
"$wineserver" -k || true
"$wineserver" -w
virtual_screen_stop "$screen_pid"
trap - EXIT
rm -f "$screen_log"
unset WINEPREFIX DISPLAY
if [ "${ORVANE_WIN64_SKIP_SMOKE:-0}" != 1 ]; then
  bash scripts/smoke-win64.sh build-win64 build
fi
if [ "${ORVANE_WIN64_SKIP_INSTALLED:-0}" != 1 ]; then
  bash tests/wine/installed_test.sh build-win64 build
fi
echo "test-win64: passed in $(( $(date +%s) - start )) s"
