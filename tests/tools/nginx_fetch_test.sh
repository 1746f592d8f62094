#!/usr/bin/env bash
# Fetches a file from a real nginx on loopback with zorv-fetch and compares
# it byte for byte with the original.
#   nginx_fetch_test.sh ZORV_FETCH CONNECTIONS WORKDIR [EMULATOR]
# ZORV_FETCH_TEST_SIZE sets the file's length (default 3 MiB + 12347 bytes of
# random bytes).  A length above 64 MiB makes a sparse file instead: zeros
# with the 8-byte offset written at every MiB and at its end, so a copy cut
# short or written at a wrapped offset differs; the copy, written whole, is
# removed at the end.  ZORV_NGINX_MAX_RANGES=0 makes nginx answer every
# range request with the whole file.
# With an EMULATOR (the Windows build under Wine) the target is passed as a
# Windows path.  Exit 0 only when zorv-fetch exits 0, says "done" and the
# file is identical, and, with more than one connection, nginx answered a
# range request: with 206, or with the whole file when it ignores ranges.
set -u
fetch=$1
connections=$2
work=$3
emulator=${4:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ -n "${ZORV_NGINX_MAX_RANGES:-}" ]; then
  export ZORV_NGINX_DIRECTIVES="max_ranges $ZORV_NGINX_MAX_RANGES;"
fi

rm -rf "$work"
mkdir -p "$work/doc"
# An odd length, so that the segments do not divide it evenly.
size=${ZORV_FETCH_TEST_SIZE:-$((3 * 1024 * 1024 + 12347))}
if [ "$size" -gt $((64 * 1024 * 1024)) ]; then
  python3 - "$work/doc/file.bin" "$size" <<'PY'
import struct, sys
path, size = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as out:
    out.truncate(size)
    for at in list(range(0, size - 8, 1 << 20)) + [size - 8]:
        out.seek(at)
        out.write(struct.pack("<q", at))
PY
else
  head -c "$size" /dev/urandom >"$work/doc/file.bin"
fi

port=$("$root/scripts/nginx-loopback" start "$work/nginx" "$work/doc") || { echo "FAIL: nginx did not start"; exit 1; }
target="$work/fetched.bin"
trap '"$root/scripts/nginx-loopback" stop "$work/nginx"; rm -f "$target" "$work/doc/file.bin"' EXIT

target_arg=$target
if [ -n "$emulator" ]; then
  target_arg=$("$emulator" winepath -w "$target" 2>/dev/null | tr -d '\r')
  [ -n "$target_arg" ] || { echo "FAIL: winepath could not map $target"; exit 1; }
fi
url="http://127.0.0.1:$port/file.bin"
echo "fetching $size bytes from $url with $connections connection(s)${ZORV_NGINX_DIRECTIVES:+ (nginx: $ZORV_NGINX_DIRECTIVES)}"
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
wholes=$(grep -c '" 200 ' "$work/nginx/logs/access.log" 2>/dev/null)
echo "nginx answered ${partials:-0} request(s) with 206 and ${wholes:-0} with 200"
if [ "$connections" -gt 1 ]; then
  case ${ZORV_NGINX_DIRECTIVES:-} in
    *"max_ranges 0"*)
      [ "${wholes:-0}" -ge 2 ] || { echo "FAIL: $connections connections but no range request reached nginx"; failed=1; } ;;
    *)
      [ "${partials:-0}" -ge 1 ] || { echo "FAIL: $connections connections but no range request reached nginx"; failed=1; } ;;
  esac
fi
if [ "$failed" != 0 ]; then
  echo "--- zorv-fetch output (last 40 lines) ---"
  tail -n 40 "$work/fetch.log"
  echo "--- nginx access log ---"
  tail -n 20 "$work/nginx/logs/access.log" 2>/dev/null
fi
exit $failed
