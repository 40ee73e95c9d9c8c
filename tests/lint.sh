#!/usr/bin/env bash
# Static analysis of all of Brisklet's code with clang-tidy and cppcheck, from the build trees'
# compile_commands.json. Scopes:
#   core     the portable core and the native seams (app/ store/ dialogs/ shell/ without the win_
#            prefix), from the native tree
#   win32    the Win32 layer (win_*.cpp), from the win64 tree: clang-tidy parses it against the
#            MinGW-w64 headers and C++ library; cppcheck reads it with its Windows API library
#   tests    the test programs (tests/), from both trees, with a lighter set of checks
# clang-tidy's checks are in .clang-tidy and tests/.clang-tidy; cppcheck's suppressions (each with
# its reason) in tests/cppcheck-suppressions.txt. Every finding fails its scope, and so does a
# file that does not parse or a program file missing from the compile database.
#
# Prints "PASS: <tool> <scope> ..." or "FAIL: <tool> <scope> ..." with the findings below a FAIL.
# Usage: tests/lint.sh [BUILD_DIR]   (BUILD_DIR holds the configured native/ and win64/ trees;
# default $BRISKLET_BUILD_DIR or ./build). Runs on $BRISKLET_LINT_JOBS cores (default 2);
# BRISKLET_LINT_TOOLS="cppcheck" (or "clang-tidy") runs one tool alone.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
BUILD=${1:-${BRISKLET_BUILD_DIR:-$ROOT/build}}
BUILD=$(cd "$BUILD" && pwd)
JOBS=${BRISKLET_LINT_JOBS:-2}
TOOLS=${BRISKLET_LINT_TOOLS:-clang-tidy cppcheck}
OUT="$BUILD/lint"
NATIVE_DB="$BUILD/native/compile_commands.json"
WIN_DB="$BUILD/win64/compile_commands.json"
PROGRAM_DIRS='app|store|dialogs|shell'

rm -rf "$OUT"
mkdir -p "$OUT"
for db in "$NATIVE_DB" "$WIN_DB"; do
  if [ ! -f "$db" ]; then echo "FAIL: lint setup: $db is missing (configure the trees first)"; exit 1; fi
done
for tool in $TOOLS; do
  if ! command -v "$tool" >/dev/null; then echo "FAIL: lint setup: $tool is not installed"; exit 1; fi
done

# Sources of the compile database DB whose path, below the project, matches REGEX.
db_files() {
  grep -oE '"file": *"[^"]+"' "$1" | sed -E 's/^"file": *"//; s/"$//' |
    grep -E "^$ROOT/($2)" | sort -u
}

# Program sources on disk, with their full paths.
program_files() {
  ls app/*.cpp store/*.cpp dialogs/*.cpp shell/*.cpp 2>/dev/null | sed "s|^|$ROOT/|"
}

# check_coverage TOOL SCOPE EXPECTED_LIST ACTUAL_LIST: every program file is in the database,
# so that none is left out without a word.
check_coverage() {
  local missing
  missing=$(comm -23 <(sort -u <<<"$3") <(sort -u <<<"$4") | sed '/^$/d')
  if [ -n "$missing" ]; then
    echo "FAIL: $1 $2: not in the compile database, so not analysed:"
    sed "s|^$ROOT/|   |" <<<"$missing"
    return 1
  fi
}

# The MinGW-w64 target, sysroot and C++ library headers of the win64 tree's compiler, for clang.
mingw_args() {
  local cxx target dirs sysroot
  cxx=$(grep -m1 -oE '"command": *"[^ "]+' "$WIN_DB" | sed -E 's/^"command": *"//')
  target=$("$cxx" -dumpmachine) || return 1
  dirs=$("$cxx" -v -E -x c++ /dev/null 2>&1 |
         sed -n '/#include <...> search starts here:/,/End of search list./p' | sed -n 's/^ //p')
  sysroot=$(grep -E "/$target/include\$" <<<"$dirs" | tail -1)
  [ -n "$sysroot" ] || return 1
  sysroot=$(dirname "$(realpath "$sysroot")")
  echo "--extra-arg=--target=$target --extra-arg=--sysroot=$sysroot --extra-arg=-nostdinc++"
  grep -E '/include/c\+\+' <<<"$dirs" | while read -r dir; do
    echo "--extra-arg=-isystem$(realpath "$dir")"
  done
}

# tidy_one DB HEADER_FILTER EXTRA_ARGS OUTDIR FILE: one translation unit, its output and exit code
# kept under OUTDIR.
tidy_one() {
  local base
  base="$4/$(sed "s|^$ROOT/||; s|/|_|g" <<<"$5")"
  # shellcheck disable=SC2086  # EXTRA_ARGS is a list of words without spaces
  clang-tidy -p "$1" --quiet --header-filter="$2" $3 "$5" >"$base.out" 2>"$base.err"
  echo $? >"$base.rc"
}
export -f tidy_one
export ROOT

# run_tidy SCOPE DB HEADER_FILTER EXTRA_ARGS FILES
run_tidy() {
  local scope=$1 db=$2 filter=$3 extra=$4 files=$5
  local dir="$OUT/clang-tidy-$scope" start=$SECONDS count findings broken=""
  mkdir -p "$dir"
  count=$(sed '/^$/d' <<<"$files" | wc -l)
  if [ "$count" -eq 0 ]; then echo "FAIL: clang-tidy $scope: no files to analyse"; return; fi
  sed '/^$/d' <<<"$files" |
    xargs -P "$JOBS" -I{} bash -c 'tidy_one "$@"' _ "$(dirname "$db")" "$filter" "$extra" "$dir" {}
  findings=$(cat "$dir"/*.out | grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error): ' | sort -u |
             sed "s|^$ROOT/||; s/,-warnings-as-errors\]\$/]/")
  for rc in "$dir"/*.rc; do
    if [ "$(cat "$rc")" != 0 ] && ! grep -qE '(warning|error): ' "${rc%.rc}.out"; then
      broken+="   ${rc%.rc}: exit $(cat "$rc"): $(tail -3 "${rc%.rc}.err" | tr '\n' ' ')"$'\n'
    fi
  done
  if [ -z "$findings" ] && [ -z "$broken" ]; then
    echo "PASS: clang-tidy $scope ($count files, $((SECONDS - start)) s)"
  else
    echo "FAIL: clang-tidy $scope ($count files, $(sed '/^$/d' <<<"$findings" | wc -l) findings, $((SECONDS - start)) s)"
    [ -n "$findings" ] && sed 's/^/   /' <<<"$findings"
    [ -n "$broken" ] && printf '%s' "$broken"
  fi
}

# run_cppcheck SCOPE DB FILE_FILTER... -- EXTRA_OPTIONS...
run_cppcheck() {
  local scope=$1 db=$2; shift 2
  local filters=() extra=() start=$SECONDS log="$OUT/cppcheck-$scope.log" rc findings count
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do filters+=("--file-filter=$ROOT/$1"); shift; done
  [ $# -gt 0 ] && shift
  extra=("$@")
  mkdir -p "$OUT/cppcheck-$scope"
  cppcheck --project="$db" "${filters[@]}" "${extra[@]}" --inline-suppr \
    --suppressions-list="$ROOT/tests/cppcheck-suppressions.txt" --error-exitcode=1 -j "$JOBS" \
    --cppcheck-build-dir="$OUT/cppcheck-$scope" \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' >"$log" 2>&1
  rc=$?
  count=$(grep -c '^Checking .* \.\.\.$' "$log")
  findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: [a-z]+: ' "$log" | sort -u | sed "s|^$ROOT/||")
  if [ $rc -eq 0 ] && [ -z "$findings" ] && [ "$count" -gt 0 ]; then
    echo "PASS: cppcheck $scope ($count files, $((SECONDS - start)) s)"
  else
    echo "FAIL: cppcheck $scope ($count files, exit $rc, $((SECONDS - start)) s)"
    if [ -n "$findings" ]; then sed 's/^/   /' <<<"$findings"; else tail -5 "$log" | sed 's/^/   | /'; fi
  fi
}

wants() { [[ " $TOOLS " == *" $1 "* ]]; }

# clang-tidy over the program (the core natively, the Win32 layer against the MinGW-w64 headers)
# and over the tests, which tests/.clang-tidy gives a lighter set.
lint_clang_tidy() {
  local program_filter="^$ROOT/($PROGRAM_DIRS)/" core_files win_files mingw
  core_files=$(db_files "$NATIVE_DB" "($PROGRAM_DIRS)/[^/]*\.cpp\$" | grep -v '/win_')
  win_files=$(db_files "$WIN_DB" "($PROGRAM_DIRS)/win_[^/]*\.cpp\$")
  check_coverage clang-tidy core "$(program_files | grep -v '/win_')" "$core_files"
  run_tidy core "$NATIVE_DB" "$program_filter" "" "$core_files"
  check_coverage clang-tidy win32 "$(program_files | grep '/win_')" "$win_files"
  if ! mingw=$(mingw_args); then
    echo "FAIL: clang-tidy win32: cannot find the MinGW-w64 headers of the win64 tree's compiler"
    return
  fi
  mingw=$(tr '\n' ' ' <<<"$mingw")
  run_tidy win32 "$WIN_DB" "$program_filter|^$ROOT/res/" "$mingw" "$win_files"
  run_tidy tests-native "$NATIVE_DB" "^$ROOT/tests/" "" "$(db_files "$NATIVE_DB" 'tests/.*\.(cpp|cc)$')"
  run_tidy tests-win "$WIN_DB" "^$ROOT/tests/" "$mingw" "$(db_files "$WIN_DB" 'tests/.*\.(cpp|cc)$')"
}

# cppcheck over the same scopes: style findings for the program, warnings for the tests.
lint_cppcheck() {
  local program=(--enable=warning,style,performance,portability)
  local tests=(--enable=warning,performance,portability --library=googletest)
  local win=(--library=windows --platform=win64)
  run_cppcheck core "$NATIVE_DB" 'app/*' 'store/*' 'dialogs/*' 'shell/*' -- "${program[@]}"
  run_cppcheck win32 "$WIN_DB" 'app/win_*' 'store/win_*' 'dialogs/win_*' 'shell/win_*' -- "${program[@]}" "${win[@]}"
  run_cppcheck tests-native "$NATIVE_DB" 'tests/*' -- "${tests[@]}"
  run_cppcheck tests-win "$WIN_DB" 'tests/*' -- "${tests[@]}" "${win[@]}"
}

wants clang-tidy && lint_clang_tidy
wants cppcheck && lint_cppcheck
echo "lint took $SECONDS s on $JOBS cores; logs in $OUT"
