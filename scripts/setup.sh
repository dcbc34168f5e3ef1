#!/usr/bin/env bash
# Installs the Debian packages the project needs, then configures and builds it (build/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release
