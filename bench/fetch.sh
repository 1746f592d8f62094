#!/usr/bin/env bash
# Usage: bash bench/fetch.sh [host-release build dir]   (default build/host-release)
#
# Fetch throughput against curl.  A real nginx on 127.0.0.1 serves a file of
# random bytes (ZORV_FETCH_BENCH_MB mebibytes, default 256) from a tmpfs; the
# file is fetched into the same tmpfs with `zorv-fetch -c 1`, `zorv-fetch -c 4`,
# `curl -o` and, under Wine, the Windows build's `zorv-fetch.exe -c 1`,
# alternating, ZORV_FETCH_BENCH_ROUNDS times each (default 5).  Prints for
# each the median wall time and throughput, the CPU seconds (user + system
# of the process and its threads; for the Wine row the wineserver's time is
# not counted) per 100 MB, and the throughput ratio against curl.  Every copy
# is compared with the original; a wrong or failed copy is reported and not
# counted.  Goals: -c 1 at least 1.15 x curl, -c 4 at least 1.6 x curl, CPU
# per 100 MB at most curl's; zorv-fetch.exe under Wine at least 0.4 x curl.
#
# The same file over HTTPS from the same nginx (TLS 1.2 and 1.3, a
# certificate of a CA made for the run by scripts/tls-test-certs, which both
# clients trust: zorv-fetch through SSL_CERT_FILE, curl through --cacert,
# the Wine row through the bench prefix's machine roots), in the same
# rounds: `zorv-fetch -c 1` and `-c 4` against `curl -o`; goal: -c 1 at
# least 0.9 x curl over TLS.
#
# The Wine row uses build/win32 (build/win64 where the kernel runs no 32-bit
# programs), built here when missing, in a prefix of its own under
# build/bench-fetch/; ZORV_FETCH_BENCH_WINE=0 leaves it out.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/host-release}
fetch="$build/zorv-fetch"
[ -x "$fetch" ] || { echo "bench/fetch.sh: $fetch not built (cmake --build $build --target zorv-fetch)" >&2; exit 1; }
command -v curl >/dev/null || { echo "bench/fetch.sh: curl missing: run scripts/setup" >&2; exit 1; }
megabytes=${ZORV_FETCH_BENCH_MB:-256}
rounds=${ZORV_FETCH_BENCH_ROUNDS:-5}
[ "$rounds" -ge 1 ] 2>/dev/null || { echo "bench/fetch.sh: bad round count $rounds" >&2; exit 2; }

# Source and copies in memory, so that neither side waits for a disk.
shm=${ZORV_FETCH_BENCH_TMPFS:-/dev/shm}
if [ "$(stat -f -c %T "$shm" 2>/dev/null)" != tmpfs ]; then
  echo "bench/fetch.sh: $shm is not a tmpfs (set ZORV_FETCH_BENCH_TMPFS to one)" >&2
  exit 1
fi
work=$(mktemp -d "$shm/zorv-fetch-bench.XXXXXX") || exit 1
nginx_dir="$work/nginx"
wine_fetch=
wine_trust=
cleanup() {
  "$root/scripts/nginx-loopback" stop "$nginx_dir" 2>/dev/null
  [ -n "$wine_trust" ] && "$zorv_wine" "$wine_trust" remove "Z:${certs//\//\\}\\ca.der" >/dev/null 2>&1
  [ -n "$wine_fetch" ] && (zorv_server_down)
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$work/doc"
head -c "$((megabytes * 1048576))" /dev/urandom >"$work/doc/big.bin"
size=$(stat -c %s "$work/doc/big.bin")
certs="$work/certs"
"$root/scripts/tls-test-certs" "$certs" >/dev/null || { echo "bench/fetch.sh: no test certificates" >&2; exit 1; }
port=$("$root/scripts/nginx-loopback" start "$nginx_dir" "$work/doc" "$certs/nginx-tls.conf") || exit 1
url="http://127.0.0.1:$port/big.bin"
tls_url="https://localhost:$(awk '$1 == "good" { print $2 }' "$nginx_dir/ports")/big.bin"
out="$work/out.bin"

# One fetch: appends "wall user sys" to $work/NAME.times, or the failure to
# $work/NAME.failed.  Bash's time keyword counts the CPU of the waited-for
# process, threads included.
measure() {
  local name=$1; shift
  rm -f "$out"
  local code
  TIMEFORMAT='%3R %3U %3S'
  { time "$@" "$out" >"$work/$name.log" 2>&1; } 2>"$work/timing"
  code=$?
  if [ "$code" != 0 ]; then
    echo "exit code $code: $(tail -n 1 "$work/$name.log")" >>"$work/$name.failed"
  elif ! cmp -s "$work/doc/big.bin" "$out"; then
    echo "the copy differs from the original" >>"$work/$name.failed"
  else
    tail -n 1 "$work/timing" >>"$work/$name.times"
  fi
  rm -f "$out"
}

# The Windows build under Wine, with a persistent wineserver so that the
# start of Wine is not part of the fetch.
if [ "${ZORV_FETCH_BENCH_WINE:-1}" != 0 ] && command -v wine >/dev/null; then
  preset=win32
  /usr/lib/wine/wine --version >/dev/null 2>&1 || preset=win64
  wine_fetch="$root/build/$preset/zorv-fetch.exe"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target zorv-fetch trust-test-root; } \
      >"$work/wine-build.log" 2>&1; then
    echo "bench/fetch.sh: the $preset build of zorv-fetch failed; no Wine row" >&2
    wine_fetch=
  else
    . "$root/scripts/wine-env" "$root/build/bench-fetch/wineprefix-$preset" "$preset"
    zorv_prefix_ready
    zorv_server_up
    # The run's CA among the prefix's machine roots, for the HTTPS row.
    wine_trust=$(find "$root/build/$preset" -name trust-test-root.exe -print -quit)
    if [ -z "$wine_trust" ] || ! "$zorv_wine" "$wine_trust" add "Z:${certs//\//\\}\\ca.der" >/dev/null 2>&1; then
      echo "bench/fetch.sh: the test CA could not be trusted under Wine; no Wine HTTPS row" >&2
      wine_trust=
    fi
  fi
fi
# zorv-fetch.exe with the target as a Windows path (Z: is the root).
wine_measure() {
  "$zorv_wine" "$wine_fetch" -q -c 1 "$url" "Z:${1//\//\\}"
}
wine_tls_measure() {
  "$zorv_wine" "$wine_fetch" -q -c 1 "$tls_url" "Z:${1//\//\\}"
}
# Over TLS: the run's CA trusted, by curl and by OpenSSL in zorv-fetch.
curl_tls() { curl -s --fail --cacert "$certs/ca.crt" "$tls_url" -o "$1"; }
zorv_tls() { SSL_CERT_FILE="$certs/ca.crt" "$fetch" -q -c "$1" "$tls_url" "$2"; }
zorv_tls_c1() { zorv_tls 1 "$1"; }
zorv_tls_c4() { zorv_tls 4 "$1"; }

# A first fetch of each kind warms the page cache and nginx; not counted.
curl -s --fail "$url" -o "$out" >/dev/null 2>&1
"$fetch" -q -c 4 "$url" "$work/warm.bin" >/dev/null 2>&1
[ -n "$wine_fetch" ] && { rm -f "$work/warm.bin"; wine_measure "$work/warm.bin" >/dev/null 2>&1; }
rm -f "$out" "$work/warm.bin"
curl_tls "$out" >/dev/null 2>&1
zorv_tls_c4 "$work/warm.bin" >/dev/null 2>&1
[ -n "$wine_trust" ] && { rm -f "$work/warm.bin"; wine_tls_measure "$work/warm.bin" >/dev/null 2>&1; }
rm -f "$out" "$work/warm.bin"

for _ in $(seq "$rounds"); do
  measure curl curl -s --fail "$url" -o
  measure zorv-c1 "$fetch" -q -c 1 "$url"
  measure zorv-c4 "$fetch" -q -c 4 "$url"
  [ -n "$wine_fetch" ] && measure wine-c1 wine_measure
  measure curl-tls curl_tls
  measure zorv-tls-c1 zorv_tls_c1
  measure zorv-tls-c4 zorv_tls_c4
  [ -n "$wine_trust" ] && measure wine-tls-c1 wine_tls_measure
done

python3 - "$work" "$size" "$rounds" <<'PY'
import os, statistics, sys
work, size, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
mb = size / 1048576
print(f"file: {size} bytes ({mb:.0f} MB, MB = 2^20 bytes) from nginx on 127.0.0.1, tmpfs to tmpfs,"
      f" {rounds} alternating rounds, medians of the good runs")
median = {}
for name in ("curl", "zorv-c1", "zorv-c4", "wine-c1", "curl-tls", "zorv-tls-c1", "zorv-tls-c4", "wine-tls-c1"):
    path = os.path.join(work, name + ".times")
    runs = []
    if os.path.exists(path):
        runs = [tuple(float(v) for v in line.split()) for line in open(path) if line.strip()]
    failed = os.path.join(work, name + ".failed")
    if runs:
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] + r[2] for r in runs)
        median[name] = wall
        print(f"{name:11} {wall:7.3f} s  {mb / wall:8.1f} MB/s  CPU {cpu / mb * 100:6.3f} s/100 MB"
              f"  ({len(runs)} runs)")
    elif not name.startswith("wine-") or os.path.exists(failed):
        print(f"{name:11} no good run")
    if os.path.exists(failed):
        for line in open(failed):
            print(f"{name:11} FAILED: {line.strip()}")
# name: (peer, goal); None: measured, no goal.
goals = {"zorv-c1": ("curl", 1.15), "zorv-c4": ("curl", 1.6), "wine-c1": ("curl", 0.4),
         "zorv-tls-c1": ("curl-tls", 0.9), "zorv-tls-c4": ("curl-tls", None), "wine-tls-c1": ("curl-tls", None)}
for name, (peer, goal) in goals.items():
    label = f"ratio {name} / {peer} throughput:"
    if name in median and peer in median:
        print(f"{label:37} {median[peer] / median[name]:5.2f}" + (f" (goal >= {goal})" if goal else ""))
    elif not name.startswith("wine-"):
        print(f"{label:37}   n/a")
print("wine-c1, wine-tls-c1: the Windows build's zorv-fetch.exe -c 1 under Wine (HTTP, HTTPS)")
print("*-tls*: https:// from the same nginx, TLS as the client and nginx agree (curl and zorv-fetch: OpenSSL)")
PY
