#!/usr/bin/env bash
# Sets up the project and runs the demo: a local network (voice server, web server, demo
# talkers) and the client, through the lab.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -x lab/orvane-lab ]; then
  exec lab/orvane-lab demo "$@"
fi
echo "demo: the lab is not built yet; nothing to run" >&2
exit 1
