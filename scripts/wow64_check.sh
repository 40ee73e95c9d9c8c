# Sourced by the test runner and the benchmark. wow64_check PROBE_EXE asks the small 32-bit probe
# program whether the 32-bit build can run here, under $WINE. It sets WOW64_PROBE to what the
# probe said and WOW64_NOT_RUN_REASON to why the 32-bit build cannot be run (empty when it can).
wow64_check() {
  local out rc
  out=$(mktemp)
  timeout -k 5 60 $WINE "$1" >"$out" 2>/dev/null
  rc=$?
  WOW64_PROBE=$(tr -d '\r' <"$out")
  rm -f "$out"
  WOW64_NOT_RUN_REASON=
  case "$rc:$WOW64_PROBE" in
    "0:a 32-bit process:"*) ;;
    "10:a 32-bit process:"*)
      WOW64_NOT_RUN_REASON="this Wine's WoW64 mode ${WOW64_PROBE#a 32-bit process: } in a 32-bit process: scripts/setup.sh run as root makes the Wine 10 root" ;;
    *)
      WOW64_NOT_RUN_REASON="this machine runs no 32-bit code: a 32-bit program cannot start under WoW64 here (its kernel offers no 32-bit code segment)" ;;
  esac
}
