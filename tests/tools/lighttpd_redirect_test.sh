#!/usr/bin/env bash
# Every standard redirect from a real lighttpd on loopback: /rCODE answers
# CODE (301, 302, 303, 307, 308) with "Location: /file.bin#part2", and
# zorv-fetch must follow each to the identical file.
#   lighttpd_redirect_test.sh ZORV_FETCH WORKDIR
# lighttpd runs in the foreground of a background job, entirely inside
# WORKDIR (configuration, logs); it is stopped at the end.
set -u
fetch=$1
work=$2
lighttpd_bin=${ZORV_LIGHTTPD:-$(command -v lighttpd || echo /usr/sbin/lighttpd)}
[ -x "$lighttpd_bin" ] || { echo "FAIL: lighttpd not found ($lighttpd_bin): run scripts/setup"; exit 1; }
codes="301 302 303 307 308"

rm -rf "$work"
mkdir -p "$work/doc"
work=$(realpath "$work")
head -c $((1024 * 1024 + 4321)) /dev/urandom >"$work/doc/file.bin"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; wait 2>/dev/null' EXIT
# The port is released just before lighttpd binds it; another process may
# take it in between, so the start is tried again.
for attempt in 1 2 3 4 5; do
  port=$(free_port)
  {
    echo "server.document-root = \"$work/doc\""
    echo "server.bind = \"127.0.0.1\""
    echo "server.port = $port"
    echo "server.errorlog = \"$work/error.log\""
    echo "server.modules = (\"mod_redirect\", \"mod_accesslog\")"
    echo "accesslog.filename = \"$work/access.log\""
    for code in $codes; do
      echo "\$HTTP[\"url\"] == \"/r$code\" {"
      echo "  url.redirect = (\"\" => \"/file.bin#part2\")"
      echo "  url.redirect-code = $code"
      echo "}"
    done
  } >"$work/lighttpd.conf"
  "$lighttpd_bin" -D -f "$work/lighttpd.conf" </dev/null >"$work/start.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$server" 2>/dev/null && break
  server=
done
[ -n "$server" ] || { echo "FAIL: lighttpd did not start"; cat "$work/start.log" "$work/error.log" 2>/dev/null; exit 1; }

failed=0
for code in $codes; do
  target="$work/fetched-$code.bin"
  "$fetch" --timeout 10000 "http://127.0.0.1:$port/r$code" "$target" >"$work/fetch-$code.log" 2>&1
  result=$?
  last=$(tail -n 1 "$work/fetch-$code.log")
  echo "$code: zorv-fetch exit code $result: $last"
  if [ "$result" != 0 ] || ! cmp -s "$work/doc/file.bin" "$target"; then
    echo "FAIL: the $code redirect did not lead to the identical file"
    tail -n 20 "$work/fetch-$code.log"
    failed=1
  fi
  # lighttpd writes its access log late; zorv-fetch prints each head it got.
  grep -q "^  HTTP/1.1 $code " "$work/fetch-$code.log" || { echo "FAIL: no $code answer came"; failed=1; }
done
exit $failed
