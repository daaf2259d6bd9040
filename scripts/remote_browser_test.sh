#!/usr/bin/env bash
# The browser client end to end, kept out of `make test` (it needs Chromium
# and takes half a minute): fenwisk_sim runs with the remote server started
# on 127.0.0.2, headless Chromium logs in from 127.0.0.1, sees the scenario's
# station, tunes to the other one and leaves a screenshot in
# <build>/screenshots/remote_client.png.
# Usage: scripts/remote_browser_test.sh [build folder]
set -euo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
command -v chromium >/dev/null && /usr/bin/python3 -c "import websocket" 2>/dev/null || {
  echo "remote_browser_test: needs chromium and python3-websocket (apt-get install chromium python3-websocket)"
  exit 1
}
WORK="$(mktemp -d)"
mkdir -p "$WORK/program" "$WORK/session" "$WORK/chromium" "$BUILD/screenshots"
chmod 700 "$WORK/session"
cp "$BUILD/bin/RDSLOG.FDB" "$BUILD/bin/fw.rrf" "$WORK/program/"
SIM=""
BROWSER=""
cleanup() {
  [ -n "$BROWSER" ] && kill "$BROWSER" 2>/dev/null || true
  [ -n "$SIM" ] && kill "$SIM" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/session" timeout 300 "$BUILD/bin/fenwisk_sim" \
  "$SRC/tests/remote/data/remote.txt" --program-folder "$WORK/program" --remote >"$WORK/sim.log" 2>&1 &
SIM=$!
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.2/8080) 2>/dev/null && break
  sleep 0.2
done

PORT=9333
timeout 300 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$WORK/chromium" --remote-debugging-address=127.0.0.1 --remote-debugging-port=$PORT \
  about:blank >"$WORK/chromium.log" 2>&1 &
BROWSER=$!
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null && break
  sleep 0.2
done

/usr/bin/python3 "$SRC/scripts/remote_browser_check.py" $PORT "$BUILD/screenshots/remote_client.png"
