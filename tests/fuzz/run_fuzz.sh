#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer and UBSan) and runs each one: first
# once over every seed of its corpus, then for a bounded time from a scratch copy of the corpus
# (the repository's corpus is never written). Prints one "PASS: " or "FAIL: " line per step; a
# crash, a leak, a sanitizer report or a broken invariant fails the step and its log tail is
# printed.
#
#   tests/fuzz/run_fuzz.sh BUILD_DIR [SECONDS_PER_HARNESS]   (default 10; BRISKLET_FUZZ_SECONDS too)
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:?usage: run_fuzz.sh BUILD_DIR [SECONDS]}/fuzz
SECONDS_EACH=${2:-${BRISKLET_FUZZ_SECONDS:-10}}
HARNESSES=(button_file legacy_file dropped_text bookmark_file site_icon button_merge)

if ! command -v clang++ >/dev/null 2>&1; then
  echo "FAIL: fuzz build: clang++ is missing (scripts/setup.sh installs it)"
  exit 0
fi

mkdir -p "$BUILD"
started=$SECONDS
if cmake -S "$HERE" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ >"$BUILD/build.log" 2>&1 &&
   cmake --build "$BUILD" -j2 >>"$BUILD/build.log" 2>&1; then
  echo "PASS: fuzz build ($((SECONDS - started)) s)"
else
  echo "FAIL: fuzz build"
  grep -aE 'error|warning' "$BUILD/build.log" | head -30
  exit 0
fi

SCRATCH=$(mktemp -d /tmp/brisklet-fuzz.XXXXXX)
mkdir -p "$SCRATCH/artifacts"
trap 'rm -rf "$SCRATCH"' EXIT

# A log is clean when libFuzzer finished on its own and nothing reported a fault.
clean_log() {
  ! grep -aqE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|fuzz invariant broken|SUMMARY: ' "$1"
}

for harness in "${HARNESSES[@]}"; do
  started=$SECONDS
  program="$BUILD/fuzz_$harness"
  seeds=("$HERE/corpus/$harness"/*)
  log="$SCRATCH/$harness-seeds.log"
  # Each seed once, as the regression check of every input that ever broke the program.
  if timeout -k 5 120 "$program" -runs=1 "${seeds[@]}" >"$log" 2>&1 && clean_log "$log"; then
    echo "PASS: fuzz_$harness runs its ${#seeds[@]} seed files"
  else
    echo "FAIL: fuzz_$harness on its seed files"
    tail -40 "$log" | sed 's/^/   | /'
  fi

  corpus="$SCRATCH/corpus-$harness"
  mkdir -p "$corpus"
  cp "$HERE/corpus/$harness"/* "$corpus/"
  log="$SCRATCH/$harness.log"
  timeout -k 5 $((SECONDS_EACH + 120)) "$program" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
    -timeout=30 -rss_limit_mb=2048 -artifact_prefix="$SCRATCH/artifacts/$harness-" "$corpus" >"$log" 2>&1
  rc=$?
  done_line=$(grep -aE '[[:space:]]DONE[[:space:]]' "$log" | tail -1)
  runs=$(grep -a '^stat::number_of_executed_units:' "$log" | grep -oE '[0-9]+$')
  if [ $rc -eq 0 ] && [ -n "$done_line" ] && clean_log "$log"; then
    stats=$(echo "${done_line#*DONE}" | tr -s ' \t' ' ')
    echo "PASS: fuzz_$harness for ${SECONDS_EACH}s: ${runs:-?} runs;$stats (seeds and run: $((SECONDS - started)) s)"
  else
    echo "FAIL: fuzz_$harness for ${SECONDS_EACH}s (exit $rc)"
    tail -40 "$log" | sed 's/^/   | /'
    # The input that broke it is kept in the build tree, to replay and to add to the corpus.
    for artifact in "$SCRATCH/artifacts/$harness-"*; do
      [ -e "$artifact" ] || continue
      mkdir -p "$BUILD/artifacts"
      cp "$artifact" "$BUILD/artifacts/"
      echo "   reproducer: $BUILD/artifacts/$(basename "$artifact")"
    done
  fi
done
