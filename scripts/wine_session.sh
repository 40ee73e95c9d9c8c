# Sourced by the test runner and the soak. start_wine_session LOGFILE makes a private display, a
# throwaway Wine prefix and a throwaway HOME (a new prefix links Documents to $HOME), all under
# a scratch folder ($SCRATCH), and ends them again when the calling script exits. It exports
# HOME, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, WINE (every Windows program and Wine's server
# go through scripts/wine.sh) and DISPLAY; Wine's own output goes to LOGFILE.
start_wine_session() {
  local log=$1 root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  SCRATCH=$(mktemp -d /tmp/brisklet-test.XXXXXX)
  export HOME="$SCRATCH/home" WINEPREFIX="$SCRATCH/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINE="$root/scripts/wine.sh"
  mkdir -p "$HOME"
  # Xvfb takes a free display number itself and writes it out once it is listening. Sessions
  # start side by side (the suites and the two soaks), and one that picked a number by looking
  # for a free one could pick the one another had just picked before its server was up: both
  # then used the one server, and the first to end took it away from the other.
  local number="$SCRATCH/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  trap end_wine_session EXIT
  for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$number")"
  echo "== Wine: $($WINE --version 2>&1) ($($WINE --which))"
  echo "== making the Wine prefix"
  $WINE wineboot -i >"$log" 2>&1
  # No window manager runs on the private display: let Wine draw and manage the windows itself.
  # Captions then show in screenshots, and hiding a window does not wait two seconds for a window
  # manager that never answers.
  $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
  # No program under test reaches beyond this machine (site icons are asked for by address).
  # shellcheck source=scripts/offline_prefix.sh
  . "$root/scripts/offline_prefix.sh"
  keep_prefix_offline >>"$log" 2>&1
  $WINE wineserver -w
  # Marlett, for the glyphs of the caption buttons (Wine does not pick it up by itself).
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  # A face with Chinese, Japanese and Korean characters, so that captions in those scripts are
  # drawn and checked; Wine's own faces have none. Asked for by a Windows face name.
  cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  $WINE reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS UI Gothic" /d "WenQuanYi Micro Hei" /f >>"$log" 2>&1
}

end_wine_session() {
  WINEPREFIX="$SCRATCH/pfx" "$WINE" wineserver -k >/dev/null 2>&1
  kill "$XVFB_PID" >/dev/null 2>&1
  wait "$XVFB_PID" 2>/dev/null
  rm -rf "$SCRATCH"
}
