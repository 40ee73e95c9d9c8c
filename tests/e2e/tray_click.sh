#!/usr/bin/env bash
# The real tray icon under a real mouse: Brisklet runs inside a Wine virtual desktop (which has
# a taskbar with a notification area), the icon is found on a screenshot by its blue caption,
# and xdotool clicks it. tray_probe.exe, started in the same desktop, reports what the bar did.
# Prints "PASS: ..." / "FAIL: ..." lines.
#
# Expects WINE, WINEPREFIX, DISPLAY, HOME and BRISKLET_BUILD (the win64 build folder); saves
# $BRISKLET_SCREENSHOTS/tray.png.
set -uo pipefail

WINE=${WINE:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine.sh}
BUILD=${BRISKLET_BUILD:?BRISKLET_BUILD must name the win64 build folder}
SHOTS=${BRISKLET_SCREENSHOTS:-$BUILD/screenshots}
DESKTOP="brisklet-tray-$$"
SCRATCH=$(mktemp -d /tmp/brisklet-tray-click.XXXXXX)
mkdir -p "$SHOTS"

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; }

winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

BRISKLET_WIN=$(winpath "$BUILD/brisklet.exe")
PROBE_WIN=$(winpath "$BUILD/tray_probe.exe")
RECORDER_WIN=$(winpath "$BUILD/url_recorder.exe")
BUILD_WIN=$(winpath "$BUILD")
RESULT="$SCRATCH/probe.txt"
RESULT_WIN=$(winpath "$RESULT")
export BRISKLET_LAUNCH_LOG
BRISKLET_LAUNCH_LOG=$(winpath "$SCRATCH/launches.txt")
LAUNCHES="$SCRATCH/launches.txt"

EXPLORER_PID=""
cleanup() {
  if [ -n "$EXPLORER_PID" ] && kill -0 "$EXPLORER_PID" 2>/dev/null; then
    # The desktop ends by itself once its programs have; end it by its id otherwise.
    for _ in $(seq 50); do kill -0 "$EXPLORER_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$EXPLORER_PID" 2>/dev/null
    wait "$EXPLORER_PID" 2>/dev/null
  fi
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

for f in brisklet.exe tray_probe.exe url_recorder.exe; do
  if [ ! -f "$BUILD/$f" ]; then fail "$f was not built"; exit 1; fi
done

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }

# Runs tray_probe.exe inside the desktop; prints its one result line ("" when none came).
probe() {
  rm -f "$RESULT"
  # Bounded: a start into the desktop that never returns must not hang the suite.
  timeout -k 3 20 "$WINE" explorer "/desktop=$DESKTOP,1024x768" "$PROBE_WIN" "$RESULT_WIN" "$1" >/dev/null 2>&1
  for _ in $(seq 150); do [ -s "$RESULT" ] && break; sleep 0.1; done
  cat "$RESULT" 2>/dev/null
}

# Polls the probe until its status line contains $1, for at most $2 seconds.
wait_status() {
  local want=$1 deadline=$((SECONDS + $2)) line=""
  while [ $SECONDS -le $deadline ]; do
    line=$(probe status)
    case " $line " in *" $want "*) echo "$line"; return 0 ;; esac
    sleep 0.2
  done
  echo "$line"
  return 1
}

# Prints "X Y" of the centre of the blue caption pixels in the bottom 30 rows of a screenshot
# (the taskbar of the desktop); nothing when there are none.
locate_icon() {
  local shot=$1 height top
  height=$(identify -format '%h' "$shot")
  top=$((height - 30))
  convert "$shot" -crop "x30+0+$top" +repage txt:- 2>/dev/null |
    sed -nE 's/^([0-9]+),([0-9]+): *\(([0-9.]+),([0-9.]+),([0-9.]+).*/\1 \2 \3 \4 \5/p' |
    awk -v top="$top" '$3 < 60 && $4 < 60 && $5 >= 150 {
        n++; x = $1; y = $2 + top
        if (n == 1 || x < minx) minx = x; if (x > maxx) maxx = x
        if (n == 1 || y < miny) miny = y; if (y > maxy) maxy = y
      }
      END { if (n >= 6) printf "%d %d\n", (minx + maxx) / 2, (miny + maxy) / 2 }'
}

# A fresh start: installed here, no per-user settings (so a default Button file with the
# default Favourite URL), instant popup off so that only the click shows the bar, and the
# recorder as the web browser.
# (A 32-bit Brisklet, BRISKLET_ARCH=x86, reads the 32-bit view of HKLM.)
if [ "${BRISKLET_ARCH:-x64}" = x86 ]; then VIEW=/reg:32; else VIEW=/reg:64; fi
reg add 'HKLM\Software\Vantaro\Brisklet' /v InstalledPath /t REG_SZ /d "$BUILD_WIN" /f "$VIEW"
reg delete 'HKCU\Software\Vantaro\Brisklet' /f
reg add 'HKCU\Software\Vantaro\Brisklet' /v AutoPopup /t REG_DWORD /d 0 /f
for proto in http https; do
  reg add "HKCR\\$proto" /v "URL Protocol" /t REG_SZ /d "" /f
  reg add "HKCR\\$proto\\shell\\open\\command" /ve /t REG_SZ /d "\"$RECORDER_WIN\" --via=$proto \"%1\"" /f
done

# A virtual desktop has its taskbar, with the notification area, only when asked for (Wine 10).
reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$DESKTOP" /v EnableShell /t REG_DWORD /d 1 /f
"$WINE" explorer "/desktop=$DESKTOP,1024x768" "$BRISKLET_WIN" >/dev/null 2>&1 &
EXPLORER_PID=$!

# The probe goes into the same desktop: start it only once the desktop's window exists, or a
# second explorer may race the first one for the desktop and never return.
for _ in $(seq 150); do
  xdotool search --name "^$DESKTOP" >/dev/null 2>&1 && break
  sleep 0.2
done
if xdotool search --name "^$DESKTOP" >/dev/null 2>&1; then
  pass "the virtual desktop $DESKTOP is up"
else
  fail "the virtual desktop $DESKTOP did not appear"; exit 1
fi

if line=$(wait_status icon=1 30); then
  pass "Brisklet started in the virtual desktop with its tray icon ($line)"
else
  fail "no tray icon in the virtual desktop ($line)"; exit 1
fi
case " $line " in
  *" visible=0 "*) pass "a plain start keeps the bar hidden" ;;
  *) fail "the bar is visible before any click ($line)" ;;
esac

BEFORE="$SCRATCH/before.png"
XY=""
for _ in $(seq 20); do
  import -window root -display "$DISPLAY" "$BEFORE" 2>/dev/null
  XY=$(locate_icon "$BEFORE")
  [ -n "$XY" ] && break
  sleep 0.5
done
if [ -z "$XY" ]; then
  cp "$BEFORE" "$SHOTS/tray-no-icon.png" 2>/dev/null
  fail "the tray icon's blue caption is nowhere in the taskbar (screenshot tray-no-icon.png)"; exit 1
fi
read -r X Y <<<"$XY"
pass "tray icon found on the screen at $X,$Y"

# Nothing shows that the hover was handled: the bar must stay hidden for as long as the click
# below is given to show it.
xdotool mousemove "$X" "$Y"
if line=$(wait_status visible=1 10); then
  fail "hovering showed the bar with instant popup off ($line)"
else
  pass "hovering with instant popup off leaves the bar hidden"
fi

xdotool click 1
if line=$(wait_status visible=1 10); then
  pass "a left click on the tray icon shows the bar"
else
  fail "the bar did not appear after a left click on the tray icon ($line)"
fi

sleep 0.5   # let the bar paint its buttons before the picture is taken
if import -window root -display "$DISPLAY" "$SHOTS/tray.png" 2>/dev/null && [ -s "$SHOTS/tray.png" ]; then
  pass "screenshot of the tray and the bar saved as tray.png"
else
  fail "could not save tray.png"
fi

rm -f "$LAUNCHES"
xdotool mousemove "$X" "$Y" click 3
if line=$(wait_status visible=0 10); then
  pass "a right click on the tray icon hides the bar"
else
  fail "the bar stayed up after a right click on the tray icon ($line)"
fi
for _ in $(seq 100); do grep -q -- '--via=http' "$LAUNCHES" 2>/dev/null && break; sleep 0.1; done
if grep -q -- '--via=http "http' "$LAUNCHES" 2>/dev/null; then
  pass "the right click opened the Favourite URL: $(head -1 "$LAUNCHES" | tr -d '\r' | sed 's/.*--via=http //')"
else
  fail "the right click opened nothing"
fi

line=$(probe close)
case " $line " in
  *" closed=1 icon=0 "*) pass "after E&xit the bar and its tray icon are gone" ;;
  *) fail "closing left something behind ($line)" ;;
esac
