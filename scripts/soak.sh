#!/usr/bin/env bash
# A seeded soak of the real brisklet.exe under Wine (tests/e2e/soak.cpp): random user and Windows
# steps from one seed, each checked against the test's own model of the Button file and the bar.
#
#   scripts/soak.sh [--seed N] [--steps M] [--kills P]
#
# Without --seed a fresh seed is drawn; every run prints its seed first, and a failure prints the
# seed, the step and the last steps, so that the same command with that seed replays it exactly.
# --kills P ends P % of the changing steps in a kill (4 by default): more, to hunt for what a
# power cut does. A progress line comes every 50 steps. Builds the win64 tree first (incremental) and runs in a
# private display, prefix and home, as scripts/test.sh does.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BRISKLET_BUILD_DIR:-$ROOT/build}
ARGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seed|--steps|--kills) [ $# -ge 2 ] || { echo "soak: $1 needs a number"; exit 2; }; ARGS+=("$1" "$2"); shift 2 ;;
    *) echo "usage: scripts/soak.sh [--seed N] [--steps M] [--kills P]"; exit 2 ;;
  esac
done

bash "$ROOT/scripts/setup.sh" || exit 1
mkdir -p "$BUILD/test-logs"
echo "== building win64"
if ! { cmake -S "$ROOT" -B "$BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win64.cmake" \
         -DCMAKE_BUILD_TYPE=Release >"$BUILD/test-logs/build-soak.log" 2>&1 &&
       cmake --build "$BUILD/win64" -j2 --target soak >>"$BUILD/test-logs/build-soak.log" 2>&1; }; then
  grep -aE 'error' "$BUILD/test-logs/build-soak.log" | head -30
  exit 1
fi

# shellcheck source=scripts/wine_session.sh
. "$ROOT/scripts/wine_session.sh"
start_wine_session "$BUILD/test-logs/wineboot-soak.log"
export BRISKLET_BUILD="$BUILD/win64" BRISKLET_E2E_BITS=64
# Line by line, so that the progress shows as it comes, also in a log file.
$WINE "$BUILD/win64/soak.exe" "${ARGS[@]}" | sed -u -e 's/\r$//' -e '/^\[ *\(RUN\|OK\) *\]/d'
exit "${PIPESTATUS[0]}"
