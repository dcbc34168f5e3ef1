#!/usr/bin/env bash
# Sets up and runs every test: the release build's unit, integration and end-to-end tests, the
# audio tests again on PipeWire's pulse server, the Debian packages (built, checked, installed,
# run from the home folder and removed), a two-minute soak of the whole network, the same unit
# and integration tests under AddressSanitizer+UBSan and under ThreadSanitizer, and each fuzz
# target for a bounded time; and the Windows build's unit tests, smoke test and installed program
# under Wine.
#   ORVANE_FUZZ_SECONDS (default 60) per target; ORVANE_SKIP_SANITIZERS=1 / ORVANE_SKIP_FUZZ=1 /
#   ORVANE_SKIP_WIN64=1 / ORVANE_SKIP_PIPEWIRE=1 / ORVANE_SKIP_PACKAGE=1 / ORVANE_SKIP_SOAK=1
#   leave those stages out (for quick local runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs="${ORVANE_JOBS:-$(nproc)}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/orvane-xdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Warnings are errors here as in CI (scripts/build.sh turns them on when CI=true): a warning
# that only CI would refuse is found by the same command on a developer's machine.
export ORVANE_WERROR="${ORVANE_WERROR:-ON}"

stage() { printf '\n==== %s (%s)\n' "$1" "$(date +%T)"; }
failed=()

stage "dependencies"
bash scripts/install-deps.sh

stage "release build"
bash scripts/build.sh release

stage "release tests (unit, integration, e2e)"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 600) || failed+=("release tests")

# Today's desktops serve libpulse programs from PipeWire: every test that uses a sound server
# (the audio integration tests, the talking and spoken-help end-to-end tests, the lab) once
# more with the private server being PipeWire, WirePlumber and pipewire-pulse
# (lab/lib/sound-server.sh; docs/audio.md says what differs).
if [ "${ORVANE_SKIP_PIPEWIRE:-0}" != 1 ]; then
  stage "audio tests on PipeWire"
  # In a network namespace of its own: the end-to-end tests bind the lab's fixed ports. A test
  # that fails is run once more (and reported): the pipe microphone PipeWire reads on its own
  # clock makes the tests' timing less forgiving on a loaded machine than PulseAudio's.
  bash lab/lib/private-net.sh bash -c 'cd build &&
    ORVANE_SOUND_SERVER=pipewire exec ctest --output-on-failure -j "$0" --timeout 600 -L audio \
      --repeat until-pass:2' "$jobs" ||
    failed+=("audio tests on PipeWire")
fi

# The Debian packages: built, checked with lintian, desktop-file-validate and appstreamcli,
# installed here, the installed Orvane and Parlo run from the home folder against the lab (in a
# network namespace of its own), then removed with nothing left (docs/packaging.md).
if [ "${ORVANE_SKIP_PACKAGE:-0}" != 1 ]; then
  stage "Debian packages: build, check, install, run, remove"
  bash scripts/test-package.sh || failed+=("Debian packages")
fi

# The end-to-end tests above include a talk with every core busy (the test runs its own load).
# Work handed between threads must not depend on how busy the machine is either: the UI
# thread hand-off tests, 50 runs in a row with every core kept busy (bounded to 10 minutes).
stage "UI thread hand-off under load (50 runs)"
load=()
for _ in $(seq "$(nproc)"); do timeout 600 sh -c 'while :; do :; done' & load+=($!); done
runs_ok=0
for run in $(seq 50); do
  if (cd build/run && "$root/build/tests/integration/display/main_window_qt_test" --gtest_brief=1 \
        --gtest_filter='QtUiThreads.*:TextHeights.*' >/dev/null 2>&1); then
    runs_ok=$((runs_ok + 1))
  else
    echo "run $run failed"
  fi
done
kill "${load[@]}" 2>/dev/null || true
wait "${load[@]}" 2>/dev/null || true
echo "$runs_ok of 50 runs passed"
[ "$runs_ok" = 50 ] || failed+=("UI thread hand-off under load")

# Two minutes of the whole network busy (bench/soak: 11 channels of 16 members, the demo
# talkers, two real clients talking in turn, a steady picture load): fails on a lost voice
# datagram or on memory, descriptors or threads that grow (docs/lab.md). It takes the fixed
# ports in a network namespace of its own.
if [ "${ORVANE_SKIP_SOAK:-0}" != 1 ]; then
  stage "soak, 2 minutes"
  build/bench/soak 120 || failed+=("soak")
fi

# The Windows programs, cross-built, and their installer: the unit tests, the smoke test of
# orvane.exe and the test of the program installed by its installer, all under Wine (the
# cross-built libraries are cached in ~/.cache/orvane-win64; docs/windows-build.md).
if [ "${ORVANE_SKIP_WIN64:-0}" != 1 ]; then
  stage "Windows build and installer; unit tests, smoke test and installed program under Wine"
  ORVANE_JOBS="$jobs" bash scripts/test-win64.sh || failed+=("win64")
fi

if [ "${ORVANE_SKIP_SANITIZERS:-0}" != 1 ]; then
  stage "AddressSanitizer + UBSan build and tests"
  bash scripts/build.sh asan
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j "$jobs" -L 'unit|integration' --timeout 600) || failed+=("asan tests")

  stage "ThreadSanitizer build and tests"
  bash scripts/build.sh tsan
  (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
     ctest --output-on-failure -j "$jobs" -L 'unit|integration' -LE ui --timeout 600) || failed+=("tsan tests")
fi

if [ "${ORVANE_SKIP_FUZZ:-0}" != 1 ] && [ -f fuzz/CMakeLists.txt ]; then
  stage "fuzzing (${ORVANE_FUZZ_SECONDS:-60} s per target)"
  bash scripts/build.sh fuzz
  bash scripts/run-fuzzers.sh build-fuzz "${ORVANE_FUZZ_SECONDS:-60}" || failed+=("fuzzing")
fi

if [ ${#failed[@]} -ne 0 ]; then
  printf '\nFAILED: %s\n' "${failed[*]}"
  exit 1
fi
printf '\nAll test stages passed.\n'
