#!/usr/bin/env bash
# Checks a built Debian package of Tovrel without installing it: lintian shows
# no error, the desktop entry and the AppStream file validate, apt resolves its
# dependencies, it holds the commands and nothing of the tests, and the
# unpacked binaries run: tovrel-decode --version and a decode, tovrel
# --version, an unknown option (exit 2, no window), and the whole Get/Enter/
# Copy flow of tests/e2e/flow_test.py through the unpacked tovrel with
# --service-host pointing at a stand-in on a free port. The window's standard
# error must hold only Tovrel's own lines, and the window must carry the icon.
# Usage: package_test.sh PATH/TO/tovrel_VERSION_ARCH.deb
set -u
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
failures=0
work=$(mktemp -d "${TMPDIR:-/tmp}/tovrel-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }
# check NAME COMMAND...: runs COMMAND, output to $work/out, and reports.
check() {
    local name=$1
    shift
    if "$@" >"$work/out" 2>&1; then ok "$name"; else fail "$name"; cat "$work/out"; fi
}

# lintian: errors fail; warnings are listed.
lintian --fail-on error "$deb" >"$work/lintian" 2>&1
status=$?
grep -v '^running with root privileges' "$work/lintian"
if [ "$status" -eq 0 ]; then ok "lintian: no error"; else fail "lintian: status $status"; fi

unpacked="$work/root"
check "dpkg-deb -x" dpkg-deb -x "$deb" "$unpacked"
check "desktop-file-validate" desktop-file-validate \
    "$unpacked/usr/share/applications/io.github.tovrel.Tovrel.desktop"
check "appstreamcli validate --no-net" appstreamcli validate --no-net \
    "$unpacked/usr/share/metainfo/io.github.tovrel.Tovrel.metainfo.xml"
check "apt-get install --simulate" apt-get install --simulate "$deb"

# What the package holds: the commands, the browser pane's library, their
# pages and the desktop files,
# nothing of the stand-in service nor of the tests.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/tovrel /usr/bin/tovrel-decode /usr/bin/tovrel-get \
    "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/tovrel/libtovrel_pane.so" /usr/share/man/man1/tovrel.1.gz \
    /usr/share/man/man1/tovrel-decode.1.gz /usr/share/man/man1/tovrel-get.1.gz \
    /usr/share/doc/tovrel/copyright \
    /usr/share/doc/tovrel/changelog.Debian.gz \
    /usr/share/icons/hicolor/48x48/apps/io.github.tovrel.Tovrel.png \
    /usr/share/icons/hicolor/256x256/apps/io.github.tovrel.Tovrel.png \
    /usr/share/icons/hicolor/scalable/apps/io.github.tovrel.Tovrel.svg; do
    grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
if grep -Eq 'stand_in|test|\.py$|\.a$|/include/' "$work/contents"; then
    fail "the package holds what it should not:"
    grep -E 'stand_in|test|\.py$|\.a$|/include/' "$work/contents"
else
    ok "the package holds the commands and no test or stand-in file"
fi

# The window program loads libcurl by name on its first request rather than
# at start, so only the package's dependencies can see to it that it is there.
if dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -Eq '^ *libcurl4( |$)'; then
    ok "the package depends on libcurl4"
else
    fail "the package does not depend on libcurl4: $(dpkg-deb -f "$deb" Depends)"
fi

# The version: the package's upstream version, shown by both commands.
version=$(dpkg-deb -f "$deb" Version)
version=${version%-*}
bin="$unpacked/usr/bin"
# expect_output NAME EXPECTED COMMAND...: standard output and status 0.
expect_output() {
    local name=$1 expected=$2
    shift 2
    local got
    got=$("$@" 2>"$work/err")
    local status=$?
    if [ "$status" -eq 0 ] && [ "$got" = "$expected" ] && [ ! -s "$work/err" ]; then
        ok "$name"
    else
        fail "$name: status $status, got '$got', expected '$expected'"
        cat "$work/err"
    fi
}
expect_output "tovrel-decode --version" "tovrel-decode $version" "$bin/tovrel-decode" --version
expect_output "tovrel-decode decodes a link" "http://example.invalid/a.zip" \
    "$bin/tovrel-decode" thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwWlo=
# No display at all: these must not need one.
expect_output "tovrel --version" "tovrel $version" env -u DISPLAY -u WAYLAND_DISPLAY \
    "$bin/tovrel" --version

# Usage errors end with status 2 and a usage message before any window: with
# no display, a window would end in the start-up failure report instead.
for args in "--bogus" "--service-host" "--service-host=not^a^host" "--service-host 127.0.0.1:0"; do
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$bin/tovrel" $args \
        >"$work/out" 2>"$work/err" </dev/null
    status=$?
    if [ "$status" -eq 2 ] && grep -q '^usage: tovrel' "$work/err" && [ ! -s "$work/out" ]; then
        ok "tovrel $args: usage error, exit 2"
    else
        fail "tovrel $args: status $status"
        cat "$work/out" "$work/err"
    fi
done

# The flow through the unpacked binary, on a port picked free just before.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log="$work/window-stderr"
cat >"$work/tovrel" <<WRAPPER
#!/bin/sh
exec "$bin/tovrel" --service-host 127.0.0.1:$port "\$@" 2>>"$log"
WRAPPER
chmod +x "$work/tovrel"
# flow_test.py starts its own display and window manager.
if python3 "$root/tests/e2e/flow_test.py" "$work/tovrel" \
    "$root/tools/stand_in_service.py" "127.0.0.1:$port"; then
    ok "the flow through the unpacked tovrel --service-host 127.0.0.1:$port"
else
    fail "the flow through the unpacked tovrel --service-host 127.0.0.1:$port"
fi
# A quiet terminal: only Tovrel's own lines, no engine banner or Chromium log.
if grep -v '^tovrel: ' "$log" >"$work/chatter"; then
    fail "the window's standard error holds more than Tovrel's own lines:"
    head -20 "$work/chatter"
else
    ok "the window's standard error holds only Tovrel's own lines"
fi

# The window carries the icon (its 48 and 256 px images).
if python3 "$root/tests/e2e/window_e2e.py" icon "$bin/tovrel"; then
    ok "the window carries the icon"
else
    fail "the window carries no icon of its own"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "all package checks passed"
