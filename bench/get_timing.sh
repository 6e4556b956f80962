#!/usr/bin/env bash
# One whole exchange through tovrel-get beside the same exchange made with curl.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 bench/get_timing.py "${TOVREL_BIN_DIR:-build/bin}/tovrel-get" "${1:-9}"
