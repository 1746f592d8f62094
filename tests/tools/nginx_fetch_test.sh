#!/usr/bin/env bash
# Fetches a generated file from a real nginx on loopback with zorv-fetch and
# compares it byte for byte with the original.
#   nginx_fetch_test.sh ZORV_FETCH CONNECTIONS WORKDIR [EMULATOR]
# With an EMULATOR (the Windows build under Wine) the target is passed as a
# Windows path.  Exit 0 only when zorv-fetch exits 0, says "done" and the
# file is identical, and, with more than one connection, nginx answered at
# least one range request with 206.
set -u
fetch=$1
connections=$2
work=$3
emulator=${4:-}
root=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$work"
mkdir -p "$work/doc"
# An odd length, so that the segments do not divide it evenly.
size=$((3 * 1024 * 1024 + 12347))
head -c "$size" /dev/urandom >"$work/doc/file.bin"

port=$("$root/scripts/nginx-loopback" start "$work/nginx" "$work/doc") || { echo "FAIL: nginx did not start"; exit 1; }
trap '"$root/scripts/nginx-loopback" stop "$work/nginx"' EXIT

target="$work/fetched.bin"
target_arg=$target
if [ -n "$emulator" ]; then
  target_arg=$("$emulator" winepath -w "$target" 2>/dev/null | tr -d '\r')
  [ -n "$target_arg" ] || { echo "FAIL: winepath could not map $target"; exit 1; }
fi
url="http://127.0.0.1:$port/file.bin"
echo "fetching $url with $connections connection(s)"
$emulator "$fetch" -c "$connections" --timeout 10000 "$url" "$target_arg" >"$work/fetch.log" 2>&1
code=$?
last=$(tail -n 1 "$work/fetch.log" | tr -d '\r')
echo "zorv-fetch exit code $code: $last"
failed=0
if [ "$code" != 0 ]; then
  echo "FAIL: zorv-fetch exit code $code (0 wanted)"; failed=1
fi
case $last in done\ $size\ bytes*) ;; *) echo "FAIL: last line is not \"done $size bytes ...\""; failed=1 ;; esac
if [ ! -f "$target" ]; then
  echo "FAIL: $target was not written"; failed=1
elif ! cmp "$work/doc/file.bin" "$target"; then
  echo "FAIL: the fetched file differs from the served one"; failed=1
fi
partials=$(grep -c '" 206 ' "$work/nginx/logs/access.log" 2>/dev/null)
echo "nginx answered ${partials:-0} range request(s) with 206"
if [ "$connections" -gt 1 ] && [ "${partials:-0}" -lt 1 ]; then
  echo "FAIL: $connections connections but no range request reached nginx"; failed=1
fi
if [ "$failed" != 0 ]; then
  echo "--- zorv-fetch output (last 40 lines) ---"
  tail -n 40 "$work/fetch.log"
  echo "--- nginx access log ---"
  tail -n 20 "$work/nginx/logs/access.log" 2>/dev/null
fi
exit $failed
