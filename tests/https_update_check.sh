#!/usr/bin/env bash
# Serves update replies over HTTPS on loopback (openssl's test server, a
# self-signed certificate made here) and runs the update check's test program
# against it; with "wine" as second argument, the Windows build under Wine.
# Usage: https_update_check.sh <update_https_test> [wine]
set -u
program=$1
runner=${2:-}
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

for name in trusted other; do
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days 2 -subj /CN=localhost \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" >/dev/null 2>&1 || { echo "FAIL: openssl req"; exit 1; }
done
mkdir -p www/api
: > www/api/version

for _ in $(seq 1 20); do
  port=$((20000 + RANDOM % 40000))
  (cd www && exec openssl s_server -quiet -accept "127.0.0.1:$port" -cert ../trusted.pem -key ../trusted.key -HTTP) \
    </dev/null >server.log 2>&1 &
  server=$!
  sleep 0.3
  kill -0 "$server" 2>/dev/null && break
  server=
done
[ -n "$server" ] || { echo "FAIL: the HTTPS test server did not start"; cat server.log; exit 1; }

path() { if [ "$runner" = wine ]; then winepath -w "$1" 2>/dev/null; else echo "$1"; fi; }
export STRIVO_UPDATE_PORT=$port
STRIVO_UPDATE_CERT=$(path "$work/trusted.pem")
STRIVO_UPDATE_OTHER_CERT=$(path "$work/other.pem")
STRIVO_UPDATE_REPLY_FILE=$(path "$work/www/api/version")
export STRIVO_UPDATE_CERT STRIVO_UPDATE_OTHER_CERT STRIVO_UPDATE_REPLY_FILE
if [ "$runner" = wine ]; then
  wine "$program"
else
  "$program"
fi
