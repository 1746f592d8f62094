#!/usr/bin/env bash
# Usage: bash bench/install.sh [ignored: the host-release build dir bench/run passes]
#
# The installer from click to started product.  nginx on 127.0.0.1 serves the
# stand-in product padded to ZORV_INSTALL_BENCH_MB MiB (default 50); the
# installer of the Windows build runs under Wine on a private Xvfb screen in
# a fresh prefix (build/bench-install/) with /URL= naming that server, and
# xdotool clicks its InstallButton.  ZORV_INSTALL_BENCH_ROUNDS rounds (default
# 3), each from a clean machine state (no install folder, shortcuts or key).
#
# Measured per round, medians printed:
#   click -> start     from the click to the product's start, the write time of
#                      the zorv-started.txt that the product writes on start;
#   last byte -> start from the end of the download as nginx logs it ($msec)
#                      to the product's start;
#   ready -> start     from the later of the last byte and the animation's end
#                      to the product's start.  The animation's end is taken
#                      as 1 s before the first shortcut's write time (the
#                      shortcut step waits 1 s after the animation ends), or
#                      click + 16 s when no shortcut was written;
#   transfer           nginx's own time for the product request.
# In the same round the same file is fetched by curl (natively) and by
# zorv-fetch.exe -c 1 (the same download engine under the same Wine): the
# ratio of the installer's transfer time to theirs shows what the install
# flow costs the download.
# Goals: click -> start <= 16 s animation + 5 s; ready -> start <= 1 s; the
# installer's transfer of the 50 MiB <= 0.15 s.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ -z "${ZORV_XVFB:-}" ]; then
  ZORV_XVFB=1 exec scripts/with-xvfb bash "$0" "$@"
fi
megabytes=${ZORV_INSTALL_BENCH_MB:-50}
rounds=${ZORV_INSTALL_BENCH_ROUNDS:-3}
[ "$rounds" -ge 1 ] 2>/dev/null || { echo "bench/install.sh: bad round count $rounds" >&2; exit 2; }
for tool in xdotool curl python3; do
  command -v "$tool" >/dev/null || { echo "bench/install.sh: $tool missing: run scripts/setup" >&2; exit 1; }
done
work=$root/build/bench-install
mkdir -p "$work"

preset=win32
/usr/lib/wine/wine --version >/dev/null 2>&1 || preset=win64
echo "building zorv-setup, zorv-product and zorv-fetch (preset $preset; log build/bench-install/build.log)"
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target zorv-setup zorv-product zorv-fetch; } \
    >"$work/build.log" 2>&1; then
  tail -n 30 "$work/build.log"; echo "bench/install.sh: the $preset build failed" >&2; exit 1
fi
exe=$root/build/$preset/zorv-setup.exe
fetch=$root/build/$preset/zorv-fetch.exe

. scripts/wine-env "$work/wineprefix-$preset" "$preset"
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock" "$HOME"
mkdir -p "$HOME"
zorv_prefix_ready
zorv_server_up
installer=
cleanup() {
  [ -n "$installer" ] && kill "$installer" 2>/dev/null
  scripts/serve-product --stop "$work/serve" 2>/dev/null
  zorv_server_down
}
trap cleanup EXIT
trap 'exit 130' INT TERM

url=$(scripts/serve-product --size-mb "$megabytes" --exe "$root/build/$preset/product/zorv.exe" "$work/serve") || exit 1
log=$work/serve/nginx/logs/access.log
size=$(stat -c %s "$work/serve/www/zorv.exe")

drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files (x86)/zorv"
marker=$folder/zorv-started.txt
user=${USER:-$(id -un)}
links=("$drive_c/users/$user/Desktop/Zorvane.lnk"
       "$drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Zorvane.lnk")
key='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\zorv'

now() { date +%s.%N; }
# The earliest write time of the files that exist, in s since the epoch.
earliest_mtime() {
  python3 -c 'import os, sys
times = [os.stat(f).st_mtime for f in sys.argv[1:] if os.path.exists(f)]
if times: print(f"{min(times):.3f}")' "$@"
}
# The installer's main window (the largest visible one of that title: the
# shadows are windows of their own), waited for up to 60 s.
installer_window() {
  local id best= area=0 WIDTH HEIGHT
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name '^Zorvane安装卸载程序$' 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
      [ "$((WIDTH * HEIGHT))" -gt "$area" ] && { best=$id; area=$((WIDTH * HEIGHT)); }
    done
    [ -n "$best" ] && { echo "$best"; return 0; }
    sleep 0.2
  done
  return 1
}
# "start end" of the requests for the product in the access log: the first
# request's start ($msec - $request_time) and the last one's end.
transfer_span() {
  awk '$5 == "\"GET" && $6 == "/zorv.exe" { s = $1 - $2; e = $1; if (first == "" || s < first) first = s; if (e > last) last = e }
       END { if (last != "") printf "%.3f %.3f\n", first, last }' "$log"
}
clean_state() {
  wine taskkill /f /im zorv.exe </dev/null >/dev/null 2>&1
  wine reg delete "$key" /f </dev/null >/dev/null 2>&1
  rm -rf "$folder" "${links[@]}"
}

runs=$work/runs.txt
: >"$runs"
failures=()
echo "$rounds rounds of: installer (click to started product), curl, zorv-fetch.exe -c 1; $((size / 1048576)) MiB from $url"
for round in $(seq "$rounds"); do
  clean_state
  : >"$log"
  "$zorv_wine" "$exe" "/URL=$url" </dev/null >"$work/installer-$round.log" 2>&1 &
  installer=$!
  window=$(installer_window) || { failures+=("round $round: no installer window"); kill "$installer"; installer=; continue; }
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y)=')"
  xdotool mousemove --sync $((X + 626 + 66)) $((Y + 574 + 26))
  sleep 0.3
  xdotool click 1
  clicked=$(now)
  for _ in $(seq 1800); do
    [ -f "$marker" ] && break
    kill -0 "$installer" 2>/dev/null || break
    sleep 0.1
  done
  code=timeout
  for _ in $(seq 300); do
    kill -0 "$installer" 2>/dev/null || { wait "$installer"; code=$?; break; }
    sleep 0.1
  done
  [ "$code" = timeout ] && kill "$installer" 2>/dev/null
  installer=
  started=$(earliest_mtime "$marker")
  if [ -z "$started" ]; then
    failures+=("round $round: the product did not start within 3 minutes (installer exit: $code)")
    continue
  fi
  [ "$code" = 0 ] || failures+=("round $round: installer exit code $code")
  cmp -s "$folder/zorv.exe" "$work/serve/www/zorv.exe" || failures+=("round $round: the installed zorv.exe differs from the served file")
  request_start= last_byte=
  read -r request_start last_byte < <(transfer_span)
  shortcut=$(earliest_mtime "${links[@]}")
  wine taskkill /im zorv.exe </dev/null >/dev/null 2>&1

  # The peers, on the same server in the same round.
  : >"$log"
  curl -s --fail -o "$work/curl.bin" "$url" || failures+=("round $round: curl failed")
  curl_start= curl_end=
  read -r curl_start curl_end < <(transfer_span)
  rm -f "$work/curl.bin"
  : >"$log"
  fetch_target="Z:${work//\//\\}\\fetch.bin"
  rm -f "$work/fetch.bin"
  "$zorv_wine" "$fetch" -q -c 1 "$url" "$fetch_target" </dev/null >"$work/fetch.log" 2>&1 || failures+=("round $round: zorv-fetch.exe failed")
  cmp -s "$work/fetch.bin" "$work/serve/www/zorv.exe" || failures+=("round $round: zorv-fetch.exe's copy differs")
  fetch_start= fetch_end=
  read -r fetch_start fetch_end < <(transfer_span)
  rm -f "$work/fetch.bin"
  echo "$clicked $started ${request_start:-nan} ${last_byte:-nan} ${shortcut:-nan} ${curl_start:-nan} ${curl_end:-nan} ${fetch_start:-nan} ${fetch_end:-nan}" >>"$runs"
  echo "round $round done"
done
clean_state

python3 - "$runs" "$size" "${failures[@]}" <<'PY'
import math, statistics, sys
path, size, failures = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
rows = [[float(v) for v in line.split()] for line in open(path) if line.strip()]
def med(values):
    values = [v for v in values if not math.isnan(v)]
    return statistics.median(values) if values else float("nan")
fig = {k: [] for k in ("click", "byte", "ready", "links", "anim", "xfer", "curl", "fetch")}
for clicked, started, req, last, shortcut, c0, c1, f0, f1 in rows:
    anim_end = shortcut - 1.0 if not math.isnan(shortcut) else clicked + 16.0
    fig["click"].append(started - clicked)
    fig["byte"].append(started - last)
    fig["ready"].append(started - max(last, anim_end))
    fig["links"].append(shortcut - clicked)
    fig["anim"].append(anim_end - clicked)
    fig["xfer"].append(last - req)
    fig["curl"].append(c1 - c0)
    fig["fetch"].append(f1 - f0)
print(f"file: {size} bytes ({size / 1048576:.0f} MiB) from nginx on 127.0.0.1; {len(rows)} good rounds, medians")
if rows:
    m = {k: med(v) for k, v in fig.items()}
    def each(k):
        return " ".join(f"{v:.2f}" for v in fig[k])
    print(f"click -> product start      {m['click']:7.2f} s   (rounds: {each('click')})   goal <= 21.00 s (16 s animation + 5 s)")
    print(f"first shortcut after click  {m['links']:7.2f} s   (rounds: {each('links')})")
    print(f"animation end after click   {m['anim']:7.2f} s   (rounds: {each('anim')}; 1 s before the first shortcut)")
    print(f"last byte -> product start  {m['byte']:7.2f} s   (rounds: {each('byte')})")
    print(f"ready -> product start      {m['ready']:7.2f} s   (rounds: {each('ready')})   goal <= 1.00 s after the later of last byte and animation end")
    print(f"transfer, installer         {m['xfer']:7.3f} s   {size / 1048576 / m['xfer']:8.1f} MB/s   goal <= 0.15 s for 50 MiB")
    print(f"transfer, curl (native)     {m['curl']:7.3f} s   {size / 1048576 / m['curl']:8.1f} MB/s")
    print(f"transfer, zorv-fetch.exe    {m['fetch']:7.3f} s   {size / 1048576 / m['fetch']:8.1f} MB/s  (-c 1, under Wine)")
    print(f"ratio installer / curl transfer time:           {m['xfer'] / m['curl']:7.2f}")
    print(f"ratio installer / zorv-fetch.exe transfer time: {m['xfer'] / m['fetch']:7.2f}")
    print(f"goal click -> start:  {'met' if m['click'] <= 21.0 else 'NOT met'}")
    print(f"goal ready -> start:  {'met' if m['ready'] <= 1.0 else 'NOT met'}")
    print(f"goal transfer:        {'met' if m['xfer'] <= 0.15 * size / (50 * 1048576) else 'NOT met'}")
for failure in failures:
    print(f"FAILED: {failure}")
sys.exit(1 if failures or not rows else 0)
PY
