#!/usr/bin/env bash
# The browser client end to end (CI runs it after `make test`; it needs
# Chromium and python3-websocket, `scripts/install-deps.sh browser`):
# fenwisk_sim runs with the remote server started on a loopback address
# whose three ports are free, headless Chromium logs in from 127.0.0.1,
# checks every pushed value under its own label, scans from 87.0, tunes to
# the other station and switches to RBDS, and leaves a screenshot in
# <build>/screenshots/remote_client.png.
# Usage: scripts/remote_browser_test.sh [build folder]
set -euo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
command -v chromium >/dev/null && /usr/bin/python3 -c "import websocket" 2>/dev/null || {
  echo "remote_browser_test: needs chromium and python3-websocket (scripts/install-deps.sh browser)"
  exit 1
}
WORK="$(mktemp -d)"
mkdir -p "$WORK/program" "$WORK/session" "$WORK/chromium" "$BUILD/screenshots"
chmod 700 "$WORK/session"
cp "$BUILD/database/RDSLOG.FDB" "$BUILD/bin/fw.rrf" "$WORK/program/"
SIM=""
BROWSER=""
cleanup() {
  [ -n "$BROWSER" ] && kill "$BROWSER" 2>/dev/null || true
  [ -n "$SIM" ] && kill "$SIM" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
  echo "remote_browser_test: $1"
  for log in sim chromium; do [ -s "$WORK/$log.log" ] && { echo "--- $log.log"; tail -20 "$WORK/$log.log"; }; done
  exit 1
}

# The server's ports are fixed: a loopback address of our own keeps runs side
# by side (and other servers) apart.
ADDR="$(/usr/bin/python3 "$SRC/scripts/remote_browser_check.py" --free-address)" || fail "no free loopback address"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/session" timeout 120 "$BUILD/bin/fenwisk_sim" \
  "$SRC/tests/remote/data/remote.txt" --program-folder "$WORK/program" --remote-address "$ADDR" \
  >"$WORK/sim.log" 2>&1 &
SIM=$!
for i in $(seq 100); do
  (exec 3<>"/dev/tcp/$ADDR/8080") 2>/dev/null && break
  [ "$i" = 100 ] && fail "the remote server did not start on $ADDR"
  sleep 0.2
done

# Chromium picks its own debugging port and writes it into its profile.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$WORK/chromium" --remote-debugging-address=127.0.0.1 --remote-debugging-port=0 \
  about:blank >"$WORK/chromium.log" 2>&1 &
BROWSER=$!
for i in $(seq 100); do
  [ -s "$WORK/chromium/DevToolsActivePort" ] && break
  [ "$i" = 100 ] && fail "Chromium did not start"
  sleep 0.2
done
PORT="$(head -1 "$WORK/chromium/DevToolsActivePort")"

timeout 90 /usr/bin/python3 "$SRC/scripts/remote_browser_check.py" "$PORT" "$ADDR" \
  "$BUILD/screenshots/remote_client.png" || fail "the check failed"
