#!/usr/bin/env bash
# Runs tovrel-decode as a person would: links as arguments and on standard
# input, --raw, a code page 936 file name, --help and the three exit statuses.
# Usage: decode_command_test.sh path/to/tovrel-decode
set -u
decode=$1
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

address=http://example.invalid/a.zip
thunder=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwWlo=
flashget='flashget://W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQvYS56aXBbRkxBU0hHRVRd&abc'
qqdl=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9hLnppcA==
# "http://example.invalid/汉字.zip" in code page 936 as a qqdl link.
qqdl_cp936=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC+6utfWLnppcA==

# expect NAME STATUS EXPECTED_STDOUT STDIN -- ARGS...
# Runs the decoder with ARGS and STDIN (printf %b escapes) and compares the
# exit status and standard output (printf %b escapes) byte for byte.
expect() {
    local name=$1 status=$2 expected=$3 input=$4
    shift 5
    printf '%b' "$input" | "$decode" "$@" >"$work/out" 2>"$work/err"
    local got=$?
    printf '%b' "$expected" >"$work/expected"
    if [ "$got" -ne "$status" ]; then
        echo "FAIL $name: exit status $got, expected $status"
        failures=$((failures + 1))
    fi
    if ! cmp -s "$work/out" "$work/expected"; then
        echo "FAIL $name: standard output differs"
        echo "  expected: $(od -An -c "$work/expected")"
        echo "  got:      $(od -An -c "$work/out")"
        failures=$((failures + 1))
    fi
}

expect "one link from standard input" 0 "$address\n" "$thunder\n" --
expect "links as arguments" 0 "$address\n$address\n$address\n$address\n" "" -- \
    "$thunder" "$flashget" "$qqdl" "$address"
expect "arguments win over standard input" 0 "$address\n" "ftp://x\n" -- "$qqdl"
expect "batch with LF and CR LF endings" 0 "$address\n$address\n$address\n" \
    "$thunder\r\n$flashget\n$qqdl\r\n" --
expect "last line without an ending" 0 "$address\n$address\n" "$thunder\n$qqdl" --
expect "a link with no address gives an empty line and status 1" 1 "$address\n\n$address\n" \
    "$thunder\nftp://example.invalid/a.zip\n$qqdl\n" --
expect "an empty line is a link with no address" 1 "\n$address\n" "\n$qqdl\n" --
expect "an argument with no address" 1 "\n" "" -- "thunder://"
expect "no links at all" 0 "" "" --

# Code pages: the file name comes out as UTF-8, or as the raw code page 936
# bytes with --raw.
expect "code page 936 file name shown as UTF-8" 0 \
    "http://example.invalid/\xe6\xb1\x89\xe5\xad\x97.zip\n" "$qqdl_cp936\n" --
expect "code page 936 file name with --raw" 0 \
    "http://example.invalid/\xba\xba\xd7\xd6.zip\n" "$qqdl_cp936\n" -- --raw
expect "--raw with arguments" 0 "http://example.invalid/\xba\xba\xd7\xd6.zip\n" "" -- \
    --raw "$qqdl_cp936"
# A UTF-8 file name in a plain address goes to code page 936 and back.
expect "UTF-8 plain address round trip" 0 "http://example.invalid/\xe6\xb1\x89\xe5\xad\x97\n" \
    "http://example.invalid/\xe6\xb1\x89\xe5\xad\x97\n" --
# A character with no code page 936 form becomes "?"; --raw keeps it.
expect "character without a code page 936 form" 0 "http://example.invalid/?\n" \
    "http://example.invalid/\xf0\x9f\x98\x80\n" --
expect "--raw keeps any bytes" 0 "http://example.invalid/\xf0\x9f\x98\x80\n" \
    "http://example.invalid/\xf0\x9f\x98\x80\n" -- --raw
# The ideographic space U+3000 is the full-width blank A1 A1 in code page 936,
# which the decoder removes; raw, its UTF-8 bytes are not Base64.
spaced='qqdl://aHR0cDovL2V4YW1w\xe3\x80\x80bGUuaW52YWxpZC9hLnppcA=='
expect "full-width blank in a UTF-8 link" 0 "$address\n" "$spaced\n" --
expect "full-width blank under --raw" 0 \
    "http://examp\x8dmp\x19K\x9a[\x9d\x98[\x1aY\x0b\xd8K\x9e\x9a\x5c\n" "$spaced\n" -- --raw

# Usage.
expect "unknown option" 2 "" "" -- --bogus "$thunder"
if [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -q '^usage: tovrel-decode' "$work/err"; then
    echo "FAIL unknown option: expected one usage line on standard error, got:"
    cat "$work/err"
    failures=$((failures + 1))
fi
expect "a lone dash is no link" 2 "" "" -- -
"$decode" --help >"$work/help" 2>"$work/err"
status=$?
if [ "$status" -ne 0 ] || ! grep -q '^usage: tovrel-decode \[--raw\] \[LINK \.\.\.\]$' "$work/help" ||
    [ -s "$work/err" ]; then
    echo "FAIL --help: status $status, output:"
    cat "$work/help" "$work/err"
    failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all tovrel-decode checks passed"
