#!/usr/bin/env bash
# Installs what is missing, builds the three trees (native, win64, win32), runs every test
# suite and ends with one line "N passed, N failed" over all of them.
#
# Windows-side suites run under the Wine that scripts/wine.sh starts (Wine 10: the system's, or
# the Debian 13 root that scripts/setup.sh makes once) in a throwaway prefix, on a private Xvfb
# display, with HOME pointing at a throwaway folder (a new prefix links Documents to $HOME).
# Each of them runs once per build: against build/win64, then against build/win32 in Wine's WoW64
# mode. The 32-bit run of a suite is named NAME_x86 for BRISKLET_SUITES (e2e_tests_x86,
# win_tests_x86, installer_x86, ...) and printed as "NAME (x86)"; the plain NAME is the 64-bit run.
# The 32-bit runs need a machine that runs 32-bit code and a Wine whose WoW64 mode runs the
# program's dialogs: a small 32-bit probe asks first, and where it cannot, each 32-bit suite is
# printed as not run, with the reason, and counted apart; the result then rests on the rest.
# "Cannot" must be shown: a small native program tells a kernel without a 32-bit code segment
# apart from every other failure, and any other failure of either probe fails the run.
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
SKIPPED=0
NOT_RUN=()
LEFT_OUT=()
FAILED_SUITES=()
LOGDIR="$BUILD/test-logs"

# The name a suite is printed under: "e2e_tests_x86" -> "e2e_tests (x86)".
shown() {
  case "$1" in
    *_x86) echo "${1%_x86} (x86)" ;;
    *) if [ -n "${2:-}" ]; then echo "$1 (x64)"; else echo "$1"; fi ;;
  esac
}

# record NAME PASSED FAILED [SKIPPED]: a suite that runs per build is printed with its build.
record() {
  PASSED=$((PASSED + $2))
  FAILED=$((FAILED + $3))
  SKIPPED=$((SKIPPED + ${4:-0}))
  if [ "$3" -ne 0 ]; then FAILED_SUITES+=("$1"); fi
  # How long the suite took, from its "== running" line (a build or a probe has none).
  local took=""
  [ -n "${SUITE_STARTED:-}" ] && took=" ($((SECONDS - SUITE_STARTED)) s)"
  SUITE_STARTED=
  if [ -n "${4:-}" ]; then
    echo "== $(shown "$1" per-build): $2 passed, $3 failed, $4 skipped$took"
  else
    echo "== $1: $2 passed, $3 failed$took"
  fi
}

# BRISKLET_SUITES (an extended regular expression) runs only the suites whose names match it, for
# a quick run while working on one part; GTEST_FILTER narrows the GoogleTest programs as usual.
# A suite left out is named in the closing lines.
matches() { [ -z "${BRISKLET_SUITES:-}" ] || printf '%s\n' "$@" | grep -qE "^(${BRISKLET_SUITES})\$"; }
wanted() {
  matches "$1" && return 0
  LEFT_OUT+=("$1")
  return 1
}

# A suite that cannot run on this machine (NOT_RUN_REASON set): printed and counted apart from
# passes, failures and skips. True when the suite was set aside.
set_aside() {
  [ -n "${NOT_RUN_REASON:-}" ] || return 1
  echo "== $(shown "$1" per-build): not run ($NOT_RUN_REASON)"
  NOT_RUN+=("$(shown "$1" per-build)")
}

# summed WORD LOG: the test counts of GoogleTest's "[  WORD  ] N tests" summaries in LOG, added up.
summed() {
  grep -aE "^\[  $1\] [0-9]+ test" "$2" | sed -E 's/^\[[^]]*\] ([0-9]+).*/\1/' | awk '{ n += $1 } END { print n + 0 }'
}

# The end-to-end program (its path as the argument), in two Wine sessions. The cases that change
# the display scale (suites named *DisplayScale) run last, in a session of their own: once Wine 10
# has applied a larger scale and taken it back, its desktop finds windows under the pointer only in
# the part of the screen the larger scale left (the top left quarter after 192 DPI), so a drag or
# a click of a later case would miss. GTEST_FILTER narrows both passes. A case list that cannot
# be read fails the suite before anything runs.
run_e2e() {
  local exe=$1 filter=${GTEST_FILTER:-*} list scaled rc
  if ! list=$($WINE "$exe" --gtest_list_tests "--gtest_filter=$filter" 2>&1); then
    echo "the case list of $exe cannot be read:"; echo "$list" | tail -20; return 1
  fi
  scaled=$(echo "$list" | tr -d '\r' |
    awk '/^[^ ]/ { suite = $1 } /^  [^ ]/ && suite ~ /DisplayScale\.$/ { printf "%s%s:", suite, $1 }')
  case "$filter" in *-*) filter="$filter:*DisplayScale.*" ;; *) filter="$filter-*DisplayScale.*" ;; esac
  $WINE "$exe" "--gtest_filter=$filter"
  rc=$?
  [ -n "$scaled" ] || return $rc
  $WINE wineserver -k
  $WINE wineserver -w
  $WINE "$exe" "--gtest_filter=${scaled%:}" || rc=1
  # And a new session again, so the suites after these (the soak's drops among them) find windows
  # under the pointer on the whole screen.
  $WINE wineserver -k
  $WINE wineserver -w
  return $rc
}

# Runs a GoogleTest program (its command line as arguments) and counts its results; a program
# that ends without a summary counts as one failure. PER_BUILD=1 prints the build and the skips.
run_gtest() {
  local name=$1; shift
  wanted "$name" || return 0
  set_aside "$name" && return 0
  echo "== running $name"
  SUITE_STARTED=$SECONDS
  timeout -k 10 "$SUITE_TIMEOUT" "$@" >"$LOGDIR/$name.log" 2>&1
  count_gtest "$name" $?
}

# The first lines of each failed case's assertions ("file:line: Failure" and what follows), so
# that a run's own output says why a case failed and not only which one.
failure_reasons() {
  tr -d '\r' <"$1" | awk '
    /^\[ RUN      \] / { text = ""; lines = 0; left = 0; next }
    /^\[  FAILED  \] [A-Za-z].* \([0-9]+ ms\)$/ { if (text != "") printf "   why %s:\n%s", $4, text; text = ""; next }
    /^\[/ { left = 0; next }
    / Failure$/ { left = 6 }
    left > 0 { if (lines < 18) { text = text "   | " $0 "\n"; lines++ } left--; next }
  '
}

# count_gtest NAME EXIT_CODE: the results in NAME's log, recorded.
count_gtest() {
  local name=$1 rc=$2 per_build=${PER_BUILD:-}
  local log="$LOGDIR/$name.log"
  [ "$rc" -eq 124 ] && echo "   $name ran past ${SUITE_TIMEOUT}s and was stopped"
  local passed failed skipped
  # (A program run in several passes prints a summary per pass: they add up.)
  passed=$(summed "PASSED  " "$log")
  failed=$(summed "FAILED  " "$log")
  skipped=$(summed "SKIPPED " "$log")
  # A check inside a case that cannot be made here (the soak's GDI bound) says "SKIP: ..." once.
  skipped=$(( ${skipped:-0} + $(grep -ac '^SKIP: ' "$log") ))
  passed=${passed:-0}
  failed=${failed:-0}
  skipped=${skipped:-0}
  if [ "$failed" -gt 0 ]; then
    grep -aE '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed 's/^/   /'
    failure_reasons "$log"
    grep -aE '^soak: (FAILED|replay)' "$log" | tr -d '\r' | sed 's/^/   /'  # the soak's seed and replay
  fi
  if [ "$passed" -eq 0 ] && [ "$failed" -eq 0 ] || { [ $rc -ne 0 ] && [ "$failed" -eq 0 ]; }; then
    echo "   $name ended without a clean summary (exit $rc); last lines:"
    tail -20 "$log" | sed 's/^/   | /'
    failed=$((failed + 1))
  fi
  if [ -n "$per_build" ]; then record "$name" "$passed" "$failed" "$skipped"
  else record "$name" "$passed" "$failed"; fi
}

# Runs a shell check that prints "PASS: ..." / "FAIL: ..." lines (and "SKIP: ..." for a check
# that cannot be made against this build).
run_checks() {
  local name=$1; shift
  wanted "$name" || return 0
  set_aside "$name" && return 0
  local log="$LOGDIR/$name.log"
  echo "== running $name"
  SUITE_STARTED=$SECONDS
  timeout -k 10 "$SUITE_TIMEOUT" "$@" >"$log" 2>&1
  local rc=$?
  [ $rc -eq 124 ] && echo "   $name ran past ${SUITE_TIMEOUT}s and was stopped"
  local passed failed
  passed=$(grep -ac '^PASS: ' "$log")
  failed=$(grep -ac '^FAIL: ' "$log")
  grep -a '^FAIL: ' "$log" | sed 's/^/   /'
  if { [ $rc -ne 0 ] || [ "$passed" -eq 0 ]; } && [ "$failed" -eq 0 ]; then
    echo "   $name exited $rc with $passed passed and no FAIL line; last lines:"; tail -20 "$log" | sed 's/^/   | /'
    failed=1
  fi
  if [ -n "${PER_BUILD:-}" ]; then record "$name" "$passed" "$failed" "$(grep -ac '^SKIP: ' "$log")"
  else record "$name" "$passed" "$failed"; fi
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
build_tree win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win32.cmake" -DCMAKE_BUILD_TYPE=Release -DBRISKLET_TESTS=ON; WIN32_OK=$?

# The bounded soak (the kept seeds and one fresh seed; scripts/soak.sh runs long ones) of the
# x64 build runs in a Wine session of its own while the native suites and the static analysis
# run: it mostly waits on the program, they keep the processors busy. Counted with the x64 suites.
SOAK_PID=
rm -f "$LOGDIR/soak.rc"
if [ $WIN64_OK -eq 0 ] && wanted soak; then
  (
    # shellcheck source=scripts/wine_session.sh
    . "$ROOT/scripts/wine_session.sh"
    start_wine_session "$LOGDIR/wineboot-soak.log" >/dev/null
    export BRISKLET_BUILD="$BUILD/win64" BRISKLET_E2E_BITS=64 BRISKLET_SCREENSHOTS="$BUILD/screenshots/soak"
    mkdir -p "$BRISKLET_SCREENSHOTS"
    trap 'kill "$soak" 2>/dev/null; exit 1' TERM
    timeout -k 10 "$SUITE_TIMEOUT" $WINE "$BUILD/win64/soak.exe" --bounded >"$LOGDIR/soak.log" 2>&1 &
    soak=$!
    wait "$soak"
    echo $? >"$LOGDIR/soak.rc"
  ) &
  SOAK_PID=$!
fi
# The 32-bit build's soak likewise, where this machine runs it (its session asks the probes first;
# where they say no, the 32-bit suites say why later, the soak among them).
SOAK_X86_PID=
rm -f "$LOGDIR/soak_x86.rc"
if [ $WIN64_OK -eq 0 ] && [ $WIN32_OK -eq 0 ] && matches soak_x86; then
  (
    # shellcheck source=scripts/wine_session.sh
    . "$ROOT/scripts/wine_session.sh"
    start_wine_session "$LOGDIR/wineboot-soak-x86.log" >/dev/null
    # shellcheck source=scripts/wow64_check.sh
    . "$ROOT/scripts/wow64_check.sh"
    wow64_check "$BUILD/win32/wow64_probe.exe" "$SCRATCH"
    [ -z "$WOW64_NOT_RUN_REASON$WOW64_FAILED" ] || exit 0
    export BRISKLET_BUILD="$BUILD/win32" BRISKLET_ARCH=x86 BRISKLET_E2E_BITS=32 BRISKLET_E2E_TARGET
    BRISKLET_E2E_TARGET=$($WINE winepath -w "$BUILD/win32" 2>/dev/null | tr -d '\r')
    export BRISKLET_SCREENSHOTS="$BUILD/screenshots/soak/x86"
    mkdir -p "$BRISKLET_SCREENSHOTS"
    trap 'kill "$soak" 2>/dev/null; exit 1' TERM
    echo "the 32-bit build in $BRISKLET_E2E_TARGET" >"$LOGDIR/soak_x86.log"
    timeout -k 10 "$SUITE_TIMEOUT" $WINE "$BUILD/win64/soak.exe" --bounded >>"$LOGDIR/soak_x86.log" 2>&1 &
    soak=$!
    wait "$soak"
    echo $? >"$LOGDIR/soak_x86.rc"
  ) &
  SOAK_X86_PID=$!
fi
trap '[ -n "$SOAK_PID" ] && kill "$SOAK_PID" 2>/dev/null; [ -n "$SOAK_X86_PID" ] && kill "$SOAK_X86_PID" 2>/dev/null' EXIT

[ $NATIVE_OK -eq 0 ] && run_gtest native_tests "$BUILD/native/native_tests"
[ $NATIVE_OK -eq 0 ] && run_gtest fuzz_corpus_tests "$BUILD/native/tests/fuzz/fuzz_corpus_tests"
# libFuzzer harnesses (clang): the seeds once, then a bounded run of each (10 s; BRISKLET_FUZZ_SECONDS for longer).
run_checks fuzz bash "$ROOT/tests/fuzz/run_fuzz.sh" "$BUILD"
run_checks imports bash "$ROOT/tests/check_imports.sh" "$BUILD"
# Static analysis with clang-tidy and cppcheck over the native and win64 trees.
# It takes its time (about four minutes on two cores with nothing else running): 20 minutes at most.
SUITE_TIMEOUT=${BRISKLET_LINT_TIMEOUT:-1200} run_checks lint bash "$ROOT/tests/lint.sh" "$BUILD"

if [ $WIN64_OK -eq 0 ]; then
  # A private display, prefix and home for everything that runs under Wine.
  # shellcheck source=scripts/wine_session.sh
  . "$ROOT/scripts/wine_session.sh"
  start_wine_session "$LOGDIR/wineboot.log"
  export BRISKLET_BUILD="$BUILD/win64" BRISKLET_SCREENSHOTS="$BUILD/screenshots"
  mkdir -p "$BRISKLET_SCREENSHOTS"

  winpath() { $WINE winepath -w "$1" 2>/dev/null | tr -d '\r'; }
  # Every Windows-side suite, against one build: x64 (the win64 tree) or x86 (the win32 tree).
  # The end-to-end program stays 64-bit and drives the 32-bit brisklet.exe across processes.
  # NOT_RUN_REASON, when set, sets every suite of the build aside with that reason.
  # They count from nothing, into COUNTS_DIR (the session's scratch folder unless set); read_counts
  # adds them to the run's.
  run_windows_suites() {
    local arch=$1 tree=$2 suffix="" counts=${COUNTS_DIR:-$SCRATCH}
    [ "$arch" = x86 ] && suffix=_x86
    (
      PASSED=0 FAILED=0 SKIPPED=0 FAILED_SUITES=() NOT_RUN=() LEFT_OUT=()
      export PER_BUILD=1 BRISKLET_BUILD="$tree" BRISKLET_ARCH="$arch"
      if [ "$arch" = x86 ]; then
        export BRISKLET_E2E_TARGET BRISKLET_E2E_BITS=32 BRISKLET_SCREENSHOTS="$BRISKLET_SCREENSHOTS/x86"
        BRISKLET_E2E_TARGET=$(winpath "$tree")
        mkdir -p "$BRISKLET_SCREENSHOTS"
      else
        export BRISKLET_E2E_BITS=64
      fi
      run_gtest "win_tests$suffix" $WINE "$tree/win_tests.exe"
      run_gtest "e2e_tests$suffix" bash -c "$(declare -f run_e2e); run_e2e \"\$1\"" run_e2e "$BUILD/win64/e2e_tests.exe"
      # The seeded soak, bounded. It ran beside the native suites and is counted here; the 32-bit
      # one runs here only where it did not run there.
      if [ "$arch" = x64 ]; then
        [ -n "$SOAK_PID" ] && count_gtest soak "$(cat "$LOGDIR/soak.rc" 2>/dev/null || echo 1)"
      elif [ -e "$LOGDIR/soak_x86.rc" ]; then
        count_gtest soak_x86 "$(cat "$LOGDIR/soak_x86.rc")"
      else
        run_gtest "soak$suffix" $WINE "$BUILD/win64/soak.exe" --bounded
      fi
      # Shell-driven end-to-end suites (mouse on the real tray, installer and the like).
      for suite in "$ROOT"/tests/e2e/*.sh; do
        [ -e "$suite" ] || continue
        run_checks "$(basename "$suite" .sh)$suffix" bash "$suite"
      done
      run_checks "bench_quick$suffix" bash "$ROOT/scripts/bench.sh" --quick  # figures are not pass/fail here
      echo "$PASSED $FAILED $SKIPPED ${FAILED_SUITES[*]}" >"$counts/counts"
      printf '%s\n' "${NOT_RUN[@]}" >"$counts/not-run"
      printf '%s\n' "${LEFT_OUT[@]}" >"$counts/left-out"
    )
    [ -n "${COUNTS_DIR:-}" ] || read_counts "$counts"
  }
  read_counts() {
    local p f k rest more
    if ! read -r p f k rest <"$1/counts"; then
      echo "   the suites of a build left no counts"
      p=0 f=1 k=0 rest=counts
    fi
    PASSED=$((PASSED + p)) FAILED=$((FAILED + f)) SKIPPED=$((SKIPPED + k))
    if [ -n "$rest" ]; then read -r -a more <<<"$rest"; FAILED_SUITES+=("${more[@]}"); fi
    mapfile -t more < <(grep -v '^$' "$1/not-run" 2>/dev/null)
    NOT_RUN+=("${more[@]}")
    mapfile -t more < <(grep -v '^$' "$1/left-out" 2>/dev/null)
    LEFT_OUT+=("${more[@]}")
  }
  if [ -n "$SOAK_PID$SOAK_X86_PID" ]; then
    echo "== waiting for the soak"
    [ -n "$SOAK_PID" ] && wait "$SOAK_PID"
    [ -n "$SOAK_X86_PID" ] && wait "$SOAK_X86_PID"
  fi
  # The 32-bit suites run in a Wine session of their own beside the 64-bit ones (both mostly
  # wait on the program); their lines are printed once the 64-bit suites are done.
  X86_PID=
  x86_suites=(win_tests_x86 e2e_tests_x86 soak_x86 bench_quick_x86)
  for suite in "$ROOT"/tests/e2e/*.sh; do x86_suites+=("$(basename "$suite" .sh)_x86"); done
  if [ $WIN32_OK -eq 0 ] && ! matches "${x86_suites[@]}"; then
    LEFT_OUT+=("${x86_suites[@]}")
  elif [ $WIN32_OK -eq 0 ]; then
    # Can the 32-bit build be tested here? The kernel first, then one small 32-bit program.
    # shellcheck source=scripts/wow64_check.sh
    . "$ROOT/scripts/wow64_check.sh"
    wow64_check "$BUILD/win32/wow64_probe.exe" "$SCRATCH"
    NOT_RUN_REASON=$WOW64_NOT_RUN_REASON
    if [ -n "$WOW64_FAILED" ]; then
      echo "== 32-bit code: the probe failed:"; echo "$WOW64_FAILED" | sed 's/^/   | /'
      record x86-probe 0 1
      NOT_RUN_REASON="the 32-bit probe failed, see above"
    elif [ -n "$NOT_RUN_REASON" ]; then
      case "$NOT_RUN_REASON" in
        "this Wine's"*) echo "== 32-bit code: runs, but $NOT_RUN_REASON" ;;
        *) echo "== 32-bit code: $NOT_RUN_REASON" ;;
      esac
    else
      echo "== 32-bit code: this machine runs it ($WOW64_PROBE); its suites run beside the 64-bit ones"
    fi
    X86_COUNTS="$BUILD/test-logs/x86-counts"
    rm -rf "$X86_COUNTS" && mkdir -p "$X86_COUNTS"
    if [ -n "$NOT_RUN_REASON" ]; then
      NOT_RUN_REASON=$NOT_RUN_REASON run_windows_suites x86 "$BUILD/win32"
    else
      (
        start_wine_session "$LOGDIR/wineboot-x86.log" >/dev/null
        COUNTS_DIR=$X86_COUNTS NOT_RUN_REASON='' run_windows_suites x86 "$BUILD/win32"
      ) >"$LOGDIR/x86-suites.out" 2>&1 &
      X86_PID=$!
      # On an early exit: the 32-bit suites and everything they started, then this session.
      kill_tree() { local child; for child in $(pgrep -P "$1"); do kill_tree "$child"; done; kill "$1" 2>/dev/null; }
      trap '[ -n "$X86_PID" ] && kill_tree "$X86_PID"; end_wine_session' EXIT
    fi
  fi
  run_windows_suites x64 "$BUILD/win64"
  if [ -n "$X86_PID" ]; then
    echo "== waiting for the 32-bit suites"
    wait "$X86_PID"
    X86_PID=
    cat "$LOGDIR/x86-suites.out"
    read_counts "$X86_COUNTS"
  fi
  # Screenshots taken by the tests as BMP become PNG for the README.
  for bmp in "$BRISKLET_SCREENSHOTS"/*.bmp "$BRISKLET_SCREENSHOTS"/x86/*.bmp "$BRISKLET_SCREENSHOTS"/soak/*.bmp "$BRISKLET_SCREENSHOTS"/soak/x86/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
fi

if [ ${#FAILED_SUITES[@]} -gt 0 ]; then echo "failed suites: ${FAILED_SUITES[*]}"; fi
[ "$SKIPPED" -gt 0 ] && echo "$SKIPPED skipped (named in the suites' logs)"
[ ${#NOT_RUN[@]} -gt 0 ] && echo "${#NOT_RUN[@]} suites not run on this machine: ${NOT_RUN[*]}"
[ ${#LEFT_OUT[@]} -gt 0 ] && echo "${#LEFT_OUT[@]} suites not run, left out by BRISKLET_SUITES='$BRISKLET_SUITES': ${LEFT_OUT[*]}"
echo "all suites took $((SECONDS / 60)) min $((SECONDS % 60)) s"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
