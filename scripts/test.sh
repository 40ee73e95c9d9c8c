#!/usr/bin/env bash
# Installs what is missing, builds the three trees (native, win64, win32), runs every test
# suite and ends with one line "N passed, N failed" over all of them.
#
# Windows-side suites run under Wine's 64-bit loader in a throwaway prefix, on a private Xvfb
# display, with HOME pointing at a throwaway folder (a new prefix links Documents to $HOME).
# Every process started here is ended by its id on exit.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
BUILD=${BRISKLET_BUILD_DIR:-$ROOT/build}
# No suite may run longer than this (seconds): a hang fails its suite instead of the whole run.
SUITE_TIMEOUT=${BRISKLET_SUITE_TIMEOUT:-600}

bash scripts/setup.sh || { echo "setup failed"; echo "0 passed, 1 failed"; exit 1; }

PASSED=0
FAILED=0
FAILED_SUITES=()
LOGDIR="$BUILD/test-logs"

# record NAME PASSED FAILED
record() {
  PASSED=$((PASSED + $2))
  FAILED=$((FAILED + $3))
  if [ "$3" -ne 0 ]; then FAILED_SUITES+=("$1"); fi
  echo "== $1: $2 passed, $3 failed"
}

# BRISKLET_SUITES (an extended regular expression) runs only the suites whose names match it, for
# a quick run while working on one part; GTEST_FILTER narrows the GoogleTest programs as usual.
wanted() {
  [ -z "${BRISKLET_SUITES:-}" ] || echo "$1" | grep -qE "^(${BRISKLET_SUITES})\$"
}

# Runs a GoogleTest program (its command line as arguments) and counts its results; a program
# that ends without a summary counts as one failure.
run_gtest() {
  local name=$1; shift
  wanted "$name" || return 0
  local log="$LOGDIR/$name.log"
  echo "== running $name"
  timeout -k 10 "$SUITE_TIMEOUT" "$@" >"$log" 2>&1
  local rc=$?
  [ $rc -eq 124 ] && echo "   $name ran past ${SUITE_TIMEOUT}s and was stopped"
  local passed failed
  passed=$(grep -aE '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | grep -oE '[0-9]+' | head -1)
  failed=$(grep -aE '^\[  FAILED  \] [0-9]+ test' "$log" | tail -1 | grep -oE '[0-9]+' | head -1)
  passed=${passed:-0}
  failed=${failed:-0}
  if [ "$failed" -gt 0 ]; then
    grep -aE '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed 's/^/   /'
  fi
  if [ "$passed" -eq 0 ] && [ "$failed" -eq 0 ] || { [ $rc -ne 0 ] && [ "$failed" -eq 0 ]; }; then
    echo "   $name ended without a clean summary (exit $rc); last lines:"
    tail -20 "$log" | sed 's/^/   | /'
    failed=$((failed + 1))
  fi
  record "$name" "$passed" "$failed"
}

# Runs a shell check that prints "PASS: ..." / "FAIL: ..." lines.
run_checks() {
  local name=$1; shift
  wanted "$name" || return 0
  local log="$LOGDIR/$name.log"
  echo "== running $name"
  timeout -k 10 "$SUITE_TIMEOUT" "$@" >"$log" 2>&1
  local rc=$?
  [ $rc -eq 124 ] && echo "   $name ran past ${SUITE_TIMEOUT}s and was stopped"
  local passed failed
  passed=$(grep -ac '^PASS: ' "$log")
  failed=$(grep -ac '^FAIL: ' "$log")
  grep -a '^FAIL: ' "$log" | sed 's/^/   /'
  if [ $rc -ne 0 ] && [ "$failed" -eq 0 ]; then
    echo "   $name exited $rc; last lines:"; tail -20 "$log" | sed 's/^/   | /'
    failed=1
  fi
  record "$name" "$passed" "$failed"
}

build_tree() {
  local name=$1; shift
  echo "== building $name"
  if ! { cmake -S "$ROOT" -B "$BUILD/$name" "$@" >"$LOGDIR/build-$name.log" 2>&1 &&
         cmake --build "$BUILD/$name" -j2 >>"$LOGDIR/build-$name.log" 2>&1; }; then
    grep -aE 'error|warning' "$LOGDIR/build-$name.log" | head -30
    record "build-$name" 0 1
    return 1
  fi
  record "build-$name" 1 0
}

mkdir -p "$BUILD" "$LOGDIR"
build_tree native -DCMAKE_BUILD_TYPE=Debug; NATIVE_OK=$?
build_tree win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win64.cmake" -DCMAKE_BUILD_TYPE=Release; WIN64_OK=$?
build_tree win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win32.cmake" -DCMAKE_BUILD_TYPE=Release -DBRISKLET_TESTS=OFF

[ $NATIVE_OK -eq 0 ] && run_gtest native_tests "$BUILD/native/native_tests"
[ $NATIVE_OK -eq 0 ] && run_gtest fuzz_corpus_tests "$BUILD/native/tests/fuzz/fuzz_corpus_tests"
# libFuzzer harnesses (clang): the seeds once, then a bounded run of each (~35 s).
run_checks fuzz bash "$ROOT/tests/fuzz/run_fuzz.sh" "$BUILD"
run_checks imports bash "$ROOT/tests/check_imports.sh" "$BUILD"
# Static analysis with clang-tidy and cppcheck over the native and win64 trees.
run_checks lint bash "$ROOT/tests/lint.sh" "$BUILD"

if [ $WIN64_OK -eq 0 ]; then
  # A private display, prefix and home for everything that runs under Wine.
  SCRATCH=$(mktemp -d /tmp/brisklet-test.XXXXXX)
  export HOME="$SCRATCH/home" WINEPREFIX="$SCRATCH/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINE=/usr/lib/wine/wine64 BRISKLET_BUILD="$BUILD/win64" BRISKLET_SCREENSHOTS="$BUILD/screenshots"
  mkdir -p "$HOME" "$BRISKLET_SCREENSHOTS"
  DISPLAY_NUM=$(( (RANDOM % 400) + 100 ))
  while [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] || [ -e "/tmp/.X$DISPLAY_NUM-lock" ]; do DISPLAY_NUM=$((DISPLAY_NUM + 1)); done
  Xvfb ":$DISPLAY_NUM" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$DISPLAY_NUM"
  cleanup() {
    WINEPREFIX="$SCRATCH/pfx" /usr/lib/wine/wineserver -k >/dev/null 2>&1
    kill "$XVFB_PID" >/dev/null 2>&1
    wait "$XVFB_PID" 2>/dev/null
    rm -rf "$SCRATCH"
  }
  trap cleanup EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ] && break; sleep 0.1; done
  echo "== making the Wine prefix"
  $WINE wineboot -i >"$LOGDIR/wineboot.log" 2>&1
  # No window manager runs on the private display: let Wine draw and manage the windows itself.
  # Captions then show in screenshots, and hiding a window does not wait two seconds for a window
  # manager that never answers.
  $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$LOGDIR/wineboot.log" 2>&1
  /usr/lib/wine/wineserver -w

  run_gtest win_tests $WINE "$BUILD/win64/win_tests.exe"
  run_gtest e2e_tests $WINE "$BUILD/win64/e2e_tests.exe"
  # Shell-driven end-to-end suites (mouse on the real tray, installer and the like).
  for suite in "$ROOT"/tests/e2e/*.sh; do
    [ -e "$suite" ] || continue
    run_checks "$(basename "$suite" .sh)" bash "$suite"
  done
  run_checks bench_quick bash "$ROOT/scripts/bench.sh" --quick  # figures are not pass/fail here
  # Screenshots taken by the tests as BMP become PNG for the README.
  for bmp in "$BRISKLET_SCREENSHOTS"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
fi

if [ ${#FAILED_SUITES[@]} -gt 0 ]; then echo "failed suites: ${FAILED_SUITES[*]}"; fi
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
