#!/usr/bin/env bash
# The program answers --help and --version without any display and refuses what it does not
# know with status 2.
set -uo pipefail
vorn="$1"
version="$2"
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "$1"; exit 1; }

out="$("$vorn" --version)" || fail "--version failed"
echo "$out" | grep -q "^Vorn $version (build [0-9A-Za-z.]*)$" || fail "--version printed: $out"
out="$("$vorn" --help)" || fail "--help failed"
echo "$out" | grep -q -- "--version" || fail "--help printed: $out"
echo "$out" | grep -q "^Usage: vorn" || fail "--help printed: $out"

for refused in --frobnicate -x some-file; do
    err="$("$vorn" "$refused" 2>&1 >/dev/null)"
    status=$?
    [ "$status" -eq 2 ] || fail "$refused exited $status"
    echo "$err" | grep -q "vorn --help" || fail "$refused said: $err"
done
echo "command line: ok"
