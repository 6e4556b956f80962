#!/usr/bin/env bash
# Runs tovrel-decode as a person would: links as arguments and on standard
# input, --raw, --uri, code page 936 and UTF-8 file names, parameters after
# the Base64 text, refused addresses, --help and the three exit statuses.
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

# expect_stderr NAME PATTERN: the last run wrote nothing to standard error
# (PATTERN empty), or exactly one line that holds PATTERN.
expect_stderr() {
    local name=$1 pattern=$2
    if [ -z "$pattern" ]; then
        [ -s "$work/err" ] || return 0
    elif [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF -- "$pattern" "$work/err"; then
        return 0
    fi
    echo "FAIL $name: standard error, expected ${pattern:-nothing}, got:"
    cat "$work/err"
    failures=$((failures + 1))
}

# Parameters that sites append after the Base64 text are not decoded; an "&"
# inside the decoded address stays.
amp_address='http://example.invalid/get?id=1&name=a.zip'
thunder_amp=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2dldD9pZD0xJm5hbWU9YS56aXBaWg==
qqdl_amp=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9nZXQ/aWQ9MSZuYW1lPWEuemlw
for form in "" --raw --uri; do
    expect "parameters after the Base64 text ${form:-plain}" 0 \
        "$address\n$address\n$address\n$amp_address\n$amp_address\n" \
        "$thunder&srcid=119&verno=1\n$qqdl&srcid=119\n$flashget&srcid=119\n$thunder_amp&srcid=119\n$qqdl_amp\n" \
        -- $form
done

# UTF-8 file names inside wrapped links: shown right on the terminal, and in
# code page 936 under --uri. --raw prints the decoded bytes as they are.
# 中文 (thunder, as reported), 日本語の資料 (qqdl), 한국어 (flashget), which has
# no code page 936 form, and 照片 with an emoji.
zh=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL+S4reaWhy56aXBaWg==
ja=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC/ml6XmnKzoqp7jga7os4fmlpkuemlw
ko='flashget://W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQv7ZWc6rWt7Ja0LnppcFtGTEFTSEdFVF0=&abc'
emoji=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL+eFp+eJh/CfmIAuanBnWlo=
zh_utf8='http://example.invalid/\xe4\xb8\xad\xe6\x96\x87.zip'
ja_utf8='http://example.invalid/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe8\xb3\x87\xe6\x96\x99.zip'
ko_utf8='http://example.invalid/\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4.zip'
ko_kept='http://example.invalid/%ED%95%9C%EA%B5%AD%EC%96%B4.zip'
emoji_utf8='http://example.invalid/\xe7\x85\xa7\xe7\x89\x87\xf0\x9f\x98\x80.jpg'
expect "UTF-8 file names" 0 \
    "$zh_utf8\n$ja_utf8\n$ko_kept\nhttp://example.invalid/\xe7\x85\xa7\xe7\x89\x87%F0%9F%98%80.jpg\n" \
    "$zh\n$ja\n$ko\n$emoji\n" --
expect_stderr "UTF-8 file names" ""
expect "UTF-8 file names with --raw" 0 "$zh_utf8\n$ja_utf8\n$ko_utf8\n$emoji_utf8\n" \
    "$zh\n$ja\n$ko\n$emoji\n" -- --raw
expect "UTF-8 file names with --uri" 0 \
    "http://example.invalid/%D6%D0%CE%C4.zip\nhttp://example.invalid/%C8%D5%B1%BE%D5Z%A4%CE%D9Y%C1%CF.zip\n$ko_kept\nhttp://example.invalid/%D5%D5%C6%AC%F0%9F%98%80.jpg\n" \
    "$zh\n$ja\n$ko\n$emoji\n" -- --uri
expect "UTF-8 file names with --raw --uri" 0 \
    "http://example.invalid/%E4%B8%AD%E6%96%87.zip\n$ko_kept\n" "" -- --uri --raw "$zh" "$ko"
expect "UTF-8 file name with parameters" 0 "$zh_utf8\n" "" -- \
    "qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC/kuK3mlocuemlw&srcid=119&verno=1"

# Code page 936 names stay code page 936, also 学习, whose bytes happen to be
# well-formed UTF-8. A space is percent-encoded under --uri only.
xuexi=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL9Gnz7AuemlwWlo=
spaced_name=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9hIGIuemlw
expect "code page 936 names" 0 \
    "http://example.invalid/\xe6\xb1\x89\xe5\xad\x97.zip\nhttp://example.invalid/\xe5\xad\xa6\xe4\xb9\xa0.zip\nhttp://example.invalid/a b.zip\n" \
    "$qqdl_cp936\n$xuexi\n$spaced_name\n" --
expect "code page 936 names with --raw" 0 "http://example.invalid/\xd1\xa7\xcf\xb0.zip\n" "" -- \
    --raw "$xuexi"
expect "code page 936 names with --uri" 0 \
    "http://example.invalid/%BA%BA%D7%D6.zip\nhttp://example.invalid/%D1%A7%CF%B0.zip\nhttp://example.invalid/a%20b.zip\n$address\n" \
    "$qqdl_cp936\n$xuexi\n$spaced_name\n$address\n" -- --uri

# Addresses that may not be shown: an empty line, a reason on standard error
# and status 1; --raw prints the decoded bytes as they are.
pasted=thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwDQplY2hvIFBBU1RFRA0KWlo=
escape=qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC8bXTA7eAdhLnppcA==
script=qqdl://amF2YXNjcmlwdDphbGVydCgxKQ==
local_file=thunder://QUFmaWxlOi8vL2V0Yy9wYXNzd2RaWg==
expect "a second line in the address" 1 "\n" "$pasted\n" --
expect_stderr "a second line in the address" "control characters"
expect "escape and BEL in the address" 1 "\n" "" -- "$escape"
expect_stderr "escape and BEL in the address" "control characters"
expect "a plain address with an escape" 1 "\n" "http://example.invalid/\x1b[2Ja.zip\n" --
expect_stderr "a plain address with an escape" "control characters"
expect "javascript: address" 1 "\n" "$script\n" --
expect_stderr "javascript: address" "not http, https, ftp, ed2k or magnet"
expect "file: address under --uri" 1 "\n" "$local_file\n" -- --uri
expect_stderr "file: address under --uri" "not http, https, ftp, ed2k or magnet"
expect "refused addresses among good ones" 1 "$address\n\n$address\n" \
    "$thunder\n$pasted\n$qqdl\n" --
expect_stderr "refused addresses among good ones" "control characters"
expect "refused addresses with --raw" 0 \
    "http://example.invalid/a.zip\r\necho PASTED\r\n\njavascript:alert(1)\nfile:///etc/passwd\n" "" -- \
    --raw "$pasted" "$script" "$local_file"
expect_stderr "refused addresses with --raw" ""
expect "refused addresses with --raw --uri" 0 \
    "http://example.invalid/a.zip%0D%0Aecho%20PASTED%0D%0A\nhttp://example.invalid/%1B]0;x%07a.zip\n" \
    "$pasted\n$escape\n" -- --raw --uri

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
if [ "$status" -ne 0 ] || ! grep -q '^usage: tovrel-decode \[--raw\] \[--uri\] \[LINK \.\.\.\]$' "$work/help" ||
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
