#!/usr/bin/env bash
# Photographs every window of the program into <build>/screenshots/:
#  - the simulated build runs offscreen against a station with full RDS and
#    photographs its windows (splash, main window with each RDS page, group
#    analyzer, the MPX analyzer's two pages, about box, progress window);
#  - the test programs' screenshot tests (tests whose name holds
#    "Screenshot") save the windows they build, through FW_SCREENSHOT_DIR.
# Usage: scripts/screenshots.sh <build folder>
set -euo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$BUILD/screenshots"
mkdir -p "$OUT"

export QT_QPA_PLATFORM=offscreen
export FW_SCREENSHOT_DIR="$OUT"
export FW_BIN_DIR="$BUILD/bin"
export FW_SOURCE_DIR="$SRC"

# A private program folder and session, so a running program is not disturbed
# and the build's own database stays as it is.
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/program" "$WORK/session"
chmod 700 "$WORK/session"
cp "$BUILD/database/RDSLOG.FDB" "$WORK/program/"

echo "== the program (simulated receiver)"
XDG_RUNTIME_DIR="$WORK/session" timeout 300 "$BUILD/bin/fenwisk_sim" \
  "$SRC/tests/ui/data/scenario.txt" --program-folder "$WORK/program" \
  --trace "$WORK/trace.txt" --screenshots "$OUT"

for t in "$BUILD"/tests/test_*; do
  [ -x "$t" ] || continue
  if "$t" --gtest_list_tests 2>/dev/null | grep -q Screenshot; then
    echo "== $(basename "$t")"
    XDG_RUNTIME_DIR="$WORK/session" "$t" --gtest_filter='*Screenshot*' >/dev/null || echo "   (some screenshot tests failed)"
  fi
done

echo "Screenshots in $OUT:"
ls "$OUT"
