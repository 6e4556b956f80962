#!/usr/bin/env bash
# The request routine against a hostile server, each case right after its
# baseline (a well-behaved answer of the same size), one process a case (see
# bench/hostile_fetch.cpp). Without arguments the quick cases, endless and
# flood; name cases to choose them, e.g. `bash bench/hostile_fetch.sh trickle`
# (which takes 120 s by design: the routine's limit in all).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${TOVREL_BIN_DIR:-build/bin}/hostile_fetch
declare -A baselines=([trickle]=prompt [endless]=sized [flood]=chain)
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(endless flood)
for name in "${cases[@]}"; do
  baseline=${baselines[$name]:-}
  if [ -z "$baseline" ]; then
    echo "hostile_fetch.sh: no case $name (trickle, endless or flood)" >&2
    exit 2
  fi
  echo "-- $baseline (baseline for $name)"
  "$program" "$baseline"
  echo "-- $name"
  "$program" "$name"
done
