# Sourced by the test runner and the benchmark. wow64_check PROBE_EXE SCRATCH tells whether the
# 32-bit build can run here: first the kernel (a native far jump into its 32-bit code segment,
# tests/tools/code32_probe.c), then the small 32-bit probe program under $WINE. It sets
# WOW64_PROBE to what the probes said and exactly one of:
#   WOW64_NOT_RUN_REASON  why the 32-bit build cannot run here (a cause that was shown);
#   WOW64_FAILED          the probe failed for any other reason (its exit code and output);
# both empty when the 32-bit build can run.
wow64_check() {
  local exe=$1 scratch=$2 rc
  WOW64_NOT_RUN_REASON=
  WOW64_FAILED=
  WOW64_PROBE=$({ cc -O1 -o "$scratch/code32_probe" "$ROOT/tests/tools/code32_probe.c" && "$scratch/code32_probe"; } 2>&1)
  rc=$?
  if [ $rc -eq 10 ]; then
    WOW64_NOT_RUN_REASON="this machine runs no 32-bit code: $WOW64_PROBE"
    return
  elif [ $rc -ne 0 ]; then
    WOW64_FAILED="the native 32-bit code probe ended $rc: $WOW64_PROBE"
    return
  fi
  timeout -k 5 60 $WINE "$exe" >"$scratch/probe" 2>"$scratch/probe.err"
  rc=$?
  WOW64_PROBE=$(tr -d '\r' <"$scratch/probe")
  case "$rc:$WOW64_PROBE" in
    "0:a 32-bit process:"*) ;;
    "10:a 32-bit process:"*)
      WOW64_NOT_RUN_REASON="this Wine's WoW64 mode ${WOW64_PROBE#a 32-bit process: } in a 32-bit process: scripts/setup.sh run as root makes the Wine 10 root" ;;
    *) WOW64_FAILED="the kernel runs 32-bit code, but the 32-bit probe under Wine ended $rc: $WOW64_PROBE $(tail -5 "$scratch/probe.err")" ;;
  esac
}
