#!/usr/bin/env bash
# The window program starts with neither the browser engine nor libcurl:
# both are loaded once the window is up (the pane's library after the first
# paint, libcurl on the first request). Loading them at start delays the
# window by tens of milliseconds. Usage: start_libraries_test.sh PROGRAM
set -euo pipefail
program=$1
needed=$(readelf --dynamic --wide "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if [ -z "$needed" ]; then echo "no NEEDED entries read from $program" >&2; exit 1; fi
status=0
for library in $needed; do
  case $library in
    libcurl*|libQt6WebEngine*|libQt6Quick*|libQt6Qml*|libQt6OpenGL*)
      echo "$program needs $library at start" >&2; status=1 ;;
  esac
done
exit $status
