#!/usr/bin/env bash
# Sets up the project and runs the demo through the lab: the voice server with demo talkers,
# the web server and Orvane clients. On a desktop the client's real window opens; without a
# display the clients run on a virtual screen that is photographed every 5 s (see
# docs/lab.md). Options go to the lab: --clients N, --seconds S.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec lab/orvane-lab demo "$@"
