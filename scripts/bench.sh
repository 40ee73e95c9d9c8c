#!/usr/bin/env bash
# Start-up, memory, reload, import-dialog and size benchmark of brisklet.exe against a bare Win32 program, for
# the x64 build and then the x86 build (run in Wine's WoW64 mode), each measured by the benchmark
# programs of its own tree (the reload hook must be of the bar's processor).
#
#   scripts/bench.sh            full run: 21 start-ups of each program, in turn, and 21 timed
#                               reloads of a 1-button and of a 100-button file, and 21 timed
#                               switches between two 100-button files, and 21 timed openings
#                               of the Import Bookmarks dialog on a 10,000-bookmark file
#                               and 21 typed keys to the painted bar (100 buttons, 20 other
#                               Button files of 100)
#   scripts/bench.sh --quick    a few of each, only to show that the benchmark still works
#   --out FILE                  where the x64 results go (default: the build folder,
#                               bench-results.txt); the x86 ones go beside it, NAME-x86.txt
#
# BRISKLET_ARCH=x64 or x86 measures that build only, in the tree BRISKLET_BUILD names (default
# build/win64, or build/win32 for x86); without it both trees are measured, build/win32 beside
# BRISKLET_BUILD. Builds the benchmark programs of a tree when needed. Runs under Wine in the
# prefix and display already set up (WINEPREFIX and DISPLAY, as the test runner exports them), or
# else in a throwaway prefix on a private Xvfb display (BENCH_DISPLAY picks its number), ended on
# exit; in a prefix of its own, the display, the Wine server and the programs share one processor
# (BENCH_PIN=0: wherever the scheduler puts them). Prints "PASS: ..." / "FAIL: ..." lines about
# the run itself; the figures are information, not a verdict.
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

ARCH=${BRISKLET_ARCH:-}
if [ "$ARCH" = x86 ]; then BUILD=${BRISKLET_BUILD:-$ROOT/build/win32}; else BUILD=${BRISKLET_BUILD:-$ROOT/build/win64}; fi
OUT=${OUT:-$BUILD/bench-results.txt}
# The Wine of the test run (scripts/wine.sh also runs the x86 build in its WoW64 mode).
WINE=${WINE:-$ROOT/scripts/wine.sh}

# The runs: "ARCH TREE RESULTS" per line.
if [ -n "$ARCH" ]; then
  RUNS=("$ARCH $BUILD $OUT")
else
  RUNS=("x64 $BUILD $OUT" "x86 $(dirname "$BUILD")/win32 ${OUT%.txt}-x86.txt")
fi

# build_bench ARCH TREE: configures the tree when it has never been, builds the benchmark programs.
build_bench() {
  local toolchain=win64
  [ "$1" = x86 ] && toolchain=win32
  if ! { [ -f "$2/CMakeCache.txt" ] ||
         cmake -S "$ROOT" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$toolchain.cmake" \
               -DCMAKE_BUILD_TYPE=Release >/dev/null; } ||
     ! cmake --build "$2" -j2 --target bench_driver >"$2/bench-build.log" 2>&1; then
    tail -20 "$2/bench-build.log" 2>/dev/null
    echo "FAIL: benchmark programs built ($1)"
    return 1
  fi
  echo "PASS: benchmark programs built ($1)"
}
for run in "${RUNS[@]}"; do
  read -r arch tree _ <<<"$run"
  mkdir -p "$tree"
  build_bench "$arch" "$tree" || exit 1
done

# A Wine prefix and display of our own unless the caller already has them.
PINNED=""
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "${WINEPREFIX:-/nonexistent}" ] || [ -z "${DISPLAY:-}" ]; then
  # The display, the Wine server and the programs share one processor. Nearly every call the bar
  # makes is a round trip to the Wine server (or to the X server); where the two sides of a round
  # trip run on two processors, each one waits for the other processor to wake up. Which processors
  # the scheduler picks differs from run to run, so the same build measured 21 ms in one run and
  # 35 ms in the next. On one processor it measured 13.6 to 16.4 ms, run after run.
  # BENCH_PIN=0 leaves the choice to the scheduler.
  if [ "${BENCH_PIN:-1}" != 0 ] && command -v taskset >/dev/null 2>&1 && [ "$(nproc)" -gt 1 ]; then
    PIN_CPU=$(( $(nproc) - 1 ))
    PINNED="taskset -c $PIN_CPU"
    WINE="$PINNED $WINE"
  fi
  SCRATCH=$(mktemp -d /tmp/brisklet-bench.XXXXXX)
  export HOME="$SCRATCH/home" WINEPREFIX="$SCRATCH/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$HOME"
  DISPLAY_NUM=${BENCH_DISPLAY:-$(( (RANDOM % 400) + 500 ))}
  while [ -z "${BENCH_DISPLAY:-}" ] && { [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] || [ -e "/tmp/.X$DISPLAY_NUM-lock" ]; }; do
    DISPLAY_NUM=$((DISPLAY_NUM + 1))
  done
  $PINNED Xvfb ":$DISPLAY_NUM" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$DISPLAY_NUM"
  cleanup() {
    $WINE wineserver -k >/dev/null 2>&1
    kill "$XVFB_PID" >/dev/null 2>&1
    wait "$XVFB_PID" 2>/dev/null
    rm -rf "$SCRATCH"
  }
  trap cleanup EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] && break; sleep 0.1; done
  $WINE wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  # As in the test runner: no window manager runs on the private display, so Wine manages the
  # windows itself (otherwise hiding a window waits for a window manager that never answers).
  $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  $WINE wineserver -w
fi

# Brisklet asks for its buttons' site icons: in this prefix nothing reaches beyond this machine
# (the benchmark's sites are all in the icon cache, so nothing is asked for at all).
# shellcheck source=scripts/offline_prefix.sh
. "$ROOT/scripts/offline_prefix.sh"
keep_prefix_offline >/dev/null 2>&1

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

if [ "$QUICK" -eq 1 ]; then
  COUNTS=(--runs 2 --reloads 2 --quick)
else
  COUNTS=(--runs "${BENCH_RUNS:-21}" --reloads "${BENCH_RELOADS:-21}")
fi
STATUS=0
echo "== $($WINE --version 2>&1)"
if [ -n "$PINNED" ]; then
  echo "== display, Wine server and programs on processor $PIN_CPU of $(nproc)"
else
  echo "== processors as the scheduler places them"
fi
# shellcheck source=scripts/wow64_check.sh
. "$ROOT/scripts/wow64_check.sh"
X64_RAN=0
for run in "${RUNS[@]}"; do
  read -r arch tree out <<<"$run"
  # The x86 half needs a machine that runs 32-bit code; where none runs it is set aside, with
  # its reason, as the test runner sets the x86 suites aside.
  if [ "$arch" = x86 ]; then
    cmake --build "$tree" -j2 --target wow64_probe >>"$tree/bench-build.log" 2>&1
    if [ -f "$tree/wow64_probe.exe" ]; then
      wow64_check "$tree/wow64_probe.exe" "$tree"
      if [ -n "$WOW64_FAILED" ]; then
        echo "FAIL: benchmark of the x86 build: $WOW64_FAILED"
        STATUS=1
        continue
      elif [ -n "$WOW64_NOT_RUN_REASON" ]; then
        echo "NOT RUN: benchmark of the x86 build: $WOW64_NOT_RUN_REASON"
        continue
      fi
    fi
  fi
  rm -f "$out"
  mkdir -p "$(dirname "$out")"
  echo "== $arch: $tree/brisklet.exe"
  $WINE "$tree/bench_driver.exe" --brisklet "$(winpath "$tree/brisklet.exe")" \
    --reference "$(winpath "$tree/bench_reference.exe")" \
    --reference-platform "$(winpath "$tree/bench_reference_platform.exe")" --hook "$(winpath "$tree/bench_hook.dll")" \
    --work "C:\\brisklet-bench-$arch" --out "$(winpath "$out")" "${COUNTS[@]}"
  rc=$?
  if [ $rc -eq 0 ] && [ -s "$out" ] && grep -q 'start-up to tray icon' "$out" && grep -q 'WM_BAR_RELOADFILE chain' "$out" &&
     grep -q 'Import Bookmarks dialog' "$out" && grep -q 'typed key to painted bar' "$out"; then
    echo "PASS: benchmark of the $arch build ran and wrote its results ($out)"
    [ "$arch" = x64 ] && X64_RAN=1
  else
    echo "FAIL: benchmark of the $arch build ran and wrote its results (driver exit $rc)"
    STATUS=1
  fi
done
# Nothing measured at all is a failure too.
[ "$X64_RAN" -eq 1 ] || [ -n "$ARCH" ] || STATUS=1
exit $STATUS
