#!/usr/bin/env bash
# The stand-in product as the demo uses it: scripts/serve-product pads it to
# 3 MiB and serves it from nginx, curl fetches it into a folder whose name has
# a blank and Chinese characters, and the fetched copy runs under Wine.  The
# copy has a name of its own, so that the close request here and the
# installer tests' ending of "zorv.exe" in the same prefix miss each other.
#   product_test.sh ZORV_EXE WORKDIR EMULATOR
# Passes only when the served and fetched bytes are the program followed by
# the padding (signed again as a whole with the build's test publisher), the copy writes zorv-started.txt beside itself with its own
# Windows path and its command line (UTF-8), and a close request ends it with
# exit code 0.
set -u
exe=$1
work=$2
emulator=$3
root=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$work"
mkdir -p "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

url=$("$root/scripts/serve-product" --size-mb 3 --exe "$exe" "$work/serve") || { echo "FAIL: serve-product did not start"; exit 1; }
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  "$root/scripts/serve-product" --stop "$work/serve"
}
trap cleanup EXIT

folder="$work/安装 目录"
mkdir -p "$folder"
copy="$folder/zorv-served.exe"
curl -s --fail -o "$copy" "$url" || { echo "FAIL: curl could not fetch $url"; exit 1; }
size=$(stat -c %s "$copy")
cmp -s "$copy" "$work/serve/www/zorv.exe" || fail "the fetched file differs from the served one"
# With the build's test publisher the padded copy is signed again: 3 MiB of
# program and padding, then the signature, which must cover every byte.
signing=$(dirname "$(dirname "$exe")")/signing
if [ -f "$signing/publisher.pem" ]; then
  [ "$size" -gt $((3 * 1048576)) ] && [ "$size" -lt $((3 * 1048576 + 65536)) ] ||
    fail "fetched $size bytes, 3 MiB and a signature wanted"
  osslsigncode verify -in "$copy" -CAfile "$signing/publisher.pem" >"$work/verify.log" 2>&1 ||
    fail "the padded copy's signature does not verify (see $work/verify.log)"
else
  [ "$size" = $((3 * 1048576)) ] || fail "fetched $size bytes, 3 MiB wanted"
  cmp -s -n "$(stat -c %s "$exe")" "$copy" "$exe" || fail "the served file does not begin with the program"
fi

"$emulator" "$copy" --flag "two words" </dev/null >"$work/product.log" 2>&1 &
pid=$!
marker="$folder/zorv-started.txt"
for _ in $(seq 200); do [ -f "$marker" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if [ ! -f "$marker" ]; then
  fail "no zorv-started.txt beside the program within 20 s"
else
  windows_path=$("$emulator" winepath -w "$copy" 2>/dev/null | tr -d '\r')
  first=$(sed -n 1p "$marker" | tr -d '\r')
  second=$(sed -n 2p "$marker" | tr -d '\r')
  echo "marker: $first | $second"
  [ -n "$windows_path" ] && [ "$first" = "$windows_path" ] || fail "first line '$first', wanted the program's path '$windows_path'"
  [ "$second" = "\"$windows_path\" --flag \"two words\"" ] || fail "second line '$second' is not the command line"
  [ "$(sed -n '$=' "$marker")" = 2 ] || fail "the marker has not exactly two lines"
fi
"$emulator" taskkill /im zorv-served.exe >"$work/taskkill.log" 2>&1 </dev/null
code=timeout
for _ in $(seq 100); do
  if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; code=$?; break; fi
  sleep 0.1
done
pid_done=$pid; pid=
[ "$code" = 0 ] || { fail "after the close request the product ended with '$code', 0 wanted"; kill "$pid_done" 2>/dev/null; }
[ "$failed" = 0 ] && echo "PASS"
exit $failed
