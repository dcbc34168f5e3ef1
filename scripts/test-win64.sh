#!/usr/bin/env bash
# The Windows build's tests, run by hand: installs mingw-w64 and Wine when missing, cross-builds
# the libraries (cached in ~/.cache/orvane-win64), builds build-win64/ and runs its unit tests
# under Wine (in a Wine prefix of the build folder: the first start takes several seconds).
#   ORVANE_JOBS (default: number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${ORVANE_JOBS:-$(nproc)}"
start=$(date +%s)
ORVANE_WIN64=1 bash scripts/install-deps.sh
bash scripts/build.sh win64
cd build-win64
ctest --output-on-failure -j "$jobs" --timeout 600 -R "$(cat win64-tests.regex)"
echo "test-win64: passed in $(( $(date +%s) - start )) s"
