#!/usr/bin/env bash
# Start-up, memory, reload and size benchmark of brisklet.exe against a bare Win32 program.
#
#   scripts/bench.sh            full run: 21 start-ups of each program, in turn, and 21 timed
#                               reloads of a 1-button and of a 100-button file, and 21 timed
#                               switches between two 100-button files
#   scripts/bench.sh --quick    a few of each, only to show that the benchmark still works
#   --out FILE                  where the results go (default: the build folder, bench-results.txt)
#
# Builds the x64 tree (BRISKLET_BUILD, default build/win64) when needed. Runs under Wine in the
# prefix and display already set up (WINEPREFIX and DISPLAY, as the test runner exports them), or
# else in a throwaway prefix on a private Xvfb display (BENCH_DISPLAY picks its number), ended on
# exit. Prints "PASS: ..." / "FAIL: ..." lines about the run itself; the figures are information,
# not a verdict.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
QUICK=0
OUT=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) QUICK=1 ;;
    --out) OUT=$2; shift ;;
    *) echo "usage: $0 [--quick] [--out FILE]" >&2; exit 2 ;;
  esac
  shift
done

BUILD=${BRISKLET_BUILD:-$ROOT/build/win64}
OUT=${OUT:-$BUILD/bench-results.txt}
WINE=${WINE:-/usr/lib/wine/wine64}

if ! { [ -f "$BUILD/CMakeCache.txt" ] ||
       cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win64.cmake" \
             -DCMAKE_BUILD_TYPE=Release >/dev/null; } ||
   ! cmake --build "$BUILD" -j2 --target bench_driver >"$BUILD/bench-build.log" 2>&1; then
  tail -20 "$BUILD/bench-build.log" 2>/dev/null
  echo "FAIL: benchmark programs built"
  exit 1
fi
echo "PASS: benchmark programs built"

# A Wine prefix and display of our own unless the caller already has them.
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "${WINEPREFIX:-/nonexistent}" ] || [ -z "${DISPLAY:-}" ]; then
  SCRATCH=$(mktemp -d /tmp/brisklet-bench.XXXXXX)
  export HOME="$SCRATCH/home" WINEPREFIX="$SCRATCH/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$HOME"
  DISPLAY_NUM=${BENCH_DISPLAY:-$(( (RANDOM % 400) + 500 ))}
  while [ -z "${BENCH_DISPLAY:-}" ] && { [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] || [ -e "/tmp/.X$DISPLAY_NUM-lock" ]; }; do
    DISPLAY_NUM=$((DISPLAY_NUM + 1))
  done
  Xvfb ":$DISPLAY_NUM" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$DISPLAY_NUM"
  cleanup() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1
    kill "$XVFB_PID" >/dev/null 2>&1
    wait "$XVFB_PID" 2>/dev/null
    rm -rf "$SCRATCH"
  }
  trap cleanup EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] && break; sleep 0.1; done
  $WINE wineboot -i >/dev/null 2>&1
  # As in the test runner: no window manager runs on the private display, so Wine manages the
  # windows itself (otherwise hiding a window waits for a window manager that never answers).
  $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
fi

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

if [ "$QUICK" -eq 1 ]; then
  COUNTS=(--runs 2 --reloads 2 --quick)
else
  COUNTS=(--runs "${BENCH_RUNS:-21}" --reloads "${BENCH_RELOADS:-21}")
fi
rm -f "$OUT"
mkdir -p "$(dirname "$OUT")"
$WINE "$BUILD/bench_driver.exe" --brisklet "$(winpath "$BUILD/brisklet.exe")" \
  --reference "$(winpath "$BUILD/bench_reference.exe")" \
  --reference-platform "$(winpath "$BUILD/bench_reference_platform.exe")" --hook "$(winpath "$BUILD/bench_hook.dll")" \
  --work 'C:\brisklet-bench' --out "$(winpath "$OUT")" "${COUNTS[@]}"
RC=$?

# The 32-bit build cannot run here; its size is still a figure worth keeping.
WIN32_EXE=${BRISKLET_WIN32_EXE:-$(dirname "$BUILD")/win32/brisklet.exe}
if [ $RC -eq 0 ] && [ -f "$WIN32_EXE" ]; then
  awk -v bytes="$(stat -c %s "$WIN32_EXE")" 'BEGIN { printf "%-40s %12.1f\r\n", "executable size, x86 (KiB)", bytes / 1024 }' >>"$OUT"
  tail -1 "$OUT"
fi

if [ $RC -eq 0 ] && [ -s "$OUT" ] && grep -q 'start-up to tray icon' "$OUT" && grep -q 'WM_BAR_RELOADFILE chain' "$OUT"; then
  echo "PASS: benchmark ran and wrote its results ($OUT)"
else
  echo "FAIL: benchmark ran and wrote its results (driver exit $RC)"
  exit 1
fi
