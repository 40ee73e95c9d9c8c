#!/usr/bin/env bash
# Installs what is missing, builds Brisklet and its setup program, installs Brisklet with that
# setup program into a Wine prefix of its own, and starts it inside a Wine virtual desktop, where
# the tray icon can be seen and clicked.
#
# Uses your display when $DISPLAY is set; otherwise it starts a virtual display (Xvfb) and says
# how to look at it. Stays in the foreground until Brisklet ends (File > Exit) or Ctrl+C.
# Running it again reuses the prefix and updates the installation in place.
#
#   BRISKLET_WINEPREFIX   the prefix (default ~/.local/share/brisklet-wine)
#   BRISKLET_DESKTOP      size of the virtual desktop (default 1024x768)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build/win64"
# Wine 10 (the system's, or the Debian 13 root scripts/setup.sh makes), through the launcher.
WINE="$ROOT/scripts/wine.sh"
SIZE=${BRISKLET_DESKTOP:-1024x768}
export WINEPREFIX=${BRISKLET_WINEPREFIX:-$HOME/.local/share/brisklet-wine}
# No Mono/Gecko download offers (there is no network for them), and no Linux menu entries.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
SESSION_FILE="$WINEPREFIX/brisklet-run.session"

say() { echo "run: $*"; }

bash "$ROOT/scripts/setup.sh"

say "building Brisklet and its setup program in $BUILD"
mkdir -p "$BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$BUILD/run-configure.log" 2>&1 ||
  { cat "$BUILD/run-configure.log"; exit 1; }
cmake --build "$BUILD" -j2 --target brisklet_setup
SETUP="$BUILD/brisklet-setup-x64.exe"
[ -f "$SETUP" ] || { say "the setup program was not built ($SETUP)"; exit 1; }

# An earlier run that is still going keeps its Brisklet; files in use cannot be replaced.
if [ -f "$SESSION_FILE" ]; then
  read -r old_pid old_display <"$SESSION_FILE" || true
  if [ -n "${old_pid:-}" ] && kill -0 "$old_pid" 2>/dev/null &&
     tr '\0' ' ' <"/proc/$old_pid/cmdline" 2>/dev/null | grep -q 'desktop=Brisklet'; then
    say "Brisklet is already running in $WINEPREFIX (display $old_display, process $old_pid)."
    say "To start it afresh, close it first (File > Exit on the Button bar, or Ctrl+C where"
    say "scripts/run.sh is running) and run scripts/run.sh again."
    exit 0
  fi
fi

XVFB_PID=
DESKTOP_PID=
finish() {
  trap - EXIT INT TERM
  if [ -n "$DESKTOP_PID" ] && kill -0 "$DESKTOP_PID" 2>/dev/null; then
    say "ending Brisklet's Wine session"
    "$WINE" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -f "$SESSION_FILE"
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
trap finish EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${SIZE}x24" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || { say "could not start a virtual display (Xvfb :$n)"; exit 1; }
  VIRTUAL_DISPLAY=1
else
  VIRTUAL_DISPLAY=0
fi

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "making the Wine prefix $WINEPREFIX (once; about half a minute)"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINE" wineserver -w
fi
# Marlett, for the glyphs of the caption buttons (Wine does not pick it up by itself).
FONTS="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$FONTS" ] && ! cmp -s /usr/share/wine/fonts/marlett.ttf "$FONTS/marlett.ttf"; then
  cp /usr/share/wine/fonts/marlett.ttf "$FONTS/"
fi

say "installing Brisklet into the prefix with $(basename "$SETUP") /S"
if ! "$WINE" "$SETUP" /S; then
  say "the setup program failed (is Brisklet still running in this prefix? File > Exit closes it)"
  exit 1
fi
INSTALLED=$("$WINE" reg query 'HKLM\Software\Vantaro\Brisklet' /v InstalledPath 2>/dev/null |
  tr -d '\r' | sed -n 's/^ *InstalledPath *REG_SZ *//p')
[ -n "$INSTALLED" ] || { say "setup did not record InstalledPath"; exit 1; }
say "installed in $INSTALLED"

# The desktop's taskbar, with its notification area, is there only when asked for (Wine 10).
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops\Brisklet' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" explorer "/desktop=Brisklet,$SIZE" "$INSTALLED\\brisklet.exe" >/dev/null 2>&1 &
DESKTOP_PID=$!
echo "$DESKTOP_PID $DISPLAY" >"$SESSION_FILE"

cat <<EOF

Brisklet is running in a Wine desktop window named "Brisklet" on display $DISPLAY.
It starts in the tray: click the small grey "Go" button at the bottom right of that
desktop's taskbar to show the Button bar; right-click a button on the bar to set up
buttons; Help > Using Brisklet... on the bar describes the rest.
Your Button files are kept in the prefix's Documents folder, under brisklet\\.
EOF
if [ "$VIRTUAL_DISPLAY" = 1 ]; then
  cat <<EOF

There was no display (\$DISPLAY is not set), so Brisklet runs on the virtual display $DISPLAY.
To look at it from another terminal:
    import -window root -display $DISPLAY brisklet-screen.png     # a screenshot
    DISPLAY=$DISPLAY xdotool mousemove $((${SIZE%x*} - 11)) $((${SIZE#*x} - 11)) click 1          # click the tray icon
EOF
  if command -v x11vnc >/dev/null 2>&1; then
    echo "    x11vnc -display $DISPLAY -localhost -forever                # then a VNC viewer on localhost:5900"
  fi
fi
echo
echo "Close Brisklet with File > Exit on the Button bar, or press Ctrl+C here."

set +e
wait "$DESKTOP_PID"
DESKTOP_PID=
say "Brisklet has ended"
