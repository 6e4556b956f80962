#!/usr/bin/env bash
# The window's start-up beside two minimal windows, on a display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
exec tests/shell/with-xvfb python3 bench/window_startup.py "${TOVREL_BIN_DIR:-build/bin}" "${1:-7}"
