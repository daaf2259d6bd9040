#!/usr/bin/env bash
# `make run`: starts the program with the receiver when it is plugged in;
# without it, the same program over a simulated receiver that plays the demo
# band (packaging/demo/), so a first run shows stations, RDS and the analyzers.
# Usage: scripts/run.sh <build folder> [options of the simulated program]
set -euo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"

# The receiver's USB ids, as the udev rule names them (FW_USB_DEVICES: another
# device tree to look in, for trying this script without the receiver).
receiver_plugged_in() {
  local d
  for d in "${FW_USB_DEVICES:-/sys/bus/usb/devices}"/*; do
    [ "$(cat "$d/idVendor" 2>/dev/null)" = 04d8 ] && [ "$(cat "$d/idProduct" 2>/dev/null)" = 000c ] && return 0
  done
  return 1
}

if receiver_plugged_in; then
  cd "$BUILD/bin" && exec ./fenwisk
fi

# The demo keeps its own program folder, so its log never mixes with the
# receiver's. It gets every data file the program folder has (the remote
# dialog's fw.rrf among them), refreshed when the build is newer, but not the
# receiver's log or its backup: the demo's log starts empty, once, and is kept.
DEMO="$BUILD/demo"
mkdir -p "$DEMO"
for f in "$BUILD/bin"/*; do
  case "$(basename "$f")" in RDSLOG.FDB | RDSLOG.FDB_) continue ;; esac
  if [ -f "$f" ] && [ ! -x "$f" ]; then cp -u "$f" "$DEMO/"; fi
done
[ -f "$DEMO/RDSLOG.FDB" ] || cp "$BUILD/database/RDSLOG.FDB" "$DEMO/"
echo "No receiver found (USB 04d8:000c): showing the demo band over a simulated receiver." \
     "Plug the receiver in and run 'make run' again (or $BUILD/bin/fenwisk) for the real program."
# Further arguments go to the simulated program (the tests close it with them).
exec "$BUILD/bin/fenwisk_sim" "$SRC/packaging/demo/band.txt" --program-folder "$DEMO" "${@:2}"
