#!/usr/bin/env bash
# The setup program and the help file, end to end under Wine, in a Wine prefix of this suite's
# own (a machine on which Brisklet was never installed):
#   both setup programs were built -> silent install -> program files, "InstalledPath",
#   Start-menu shortcut and Add/Remove entry -> Brisklet starts from the installed folder and adds
#   its tray icon -> the help command reaches HtmlHelpA with the installed brisklet.chm ->
#   the uninstaller refuses while Brisklet runs -> Brisklet closed, silent uninstall -> program
#   files, shortcut and values gone, the user's Button files and other Run values kept ->
#   an installation into a folder of the user's choice records exactly that folder ->
#   the wizard clicked through: its last page offers to start Brisklet, and Finish does ->
#   in a Wine virtual desktop (as scripts/run.sh starts it) a mouse click on the tray icon shows
#   the bar.
# Prints one "PASS: ..." or "FAIL: ..." line per check. Saves setup-finish.png and
# tray-desktop.png in BRISKLET_SCREENSHOTS when that is set.
#
# Environment (set by scripts/test.sh): WINE, BRISKLET_BUILD (the win64 tree), DISPLAY.
# BRISKLET_ARCH=x86 with BRISKLET_BUILD naming the win32 tree checks brisklet-setup-x86.exe
# instead, in Wine's WoW64 mode: "Program Files (x86)" and the 32-bit
# registry view, where a 32-bit program reads and writes HKLM.
# Without DISPLAY the suite starts a private Xvfb. Everything it starts under Wine runs in its
# own prefix, whose processes are ended on exit.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BRISKLET_BUILD:-$ROOT/build/win64}
BUILD32=$(dirname "$BUILD")/win32
# The Wine of the test run (scripts/wine.sh, which also runs its server).
WINE=${WINE:-$ROOT/scripts/wine.sh}
SETUP64="$BUILD/brisklet-setup-x64.exe"
SETUP32="$BUILD32/brisklet-setup-x86.exe"
PROBE="$BUILD/install_probe.exe"
FAKE_HELP="$BUILD/fake_hhctrl.dll"
ARCH=${BRISKLET_ARCH:-x64}
if [ "$ARCH" = x86 ]; then
  SETUP=$SETUP32 VIEW=/reg:32 OTHER_VIEW=/reg:64 PROGRAM_FILES='Program Files (x86)'
else
  SETUP=$SETUP64 VIEW=/reg:64 OTHER_VIEW=/reg:32 PROGRAM_FILES='Program Files'
fi

DEFAULT_DIR="C:\\$PROGRAM_FILES\\Brisklet"
APP_KEY='HKLM\Software\Vantaro\Brisklet'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brisklet'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
HELP_CLSID_KEY='HKCR\CLSID\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\InprocServer32'

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; }
# expect DESCRIPTION ACTUAL EXPECTED
expect() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1 (got '$2', expected '$3')"; fi
}
# wait_until TIMEOUT_SECONDS COMMAND...: polls the command every 0.2 s until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

for f in "$SETUP" "$PROBE" "$FAKE_HELP" "$BUILD/brisklet.exe" "$BUILD/brisklet.chm"; do
  if [ ! -f "$f" ]; then fail "build product missing: $f"; exit 1; fi
done

# --- Both setup programs come out of the build, each for its own processor. ---------------
[ "$ARCH" = x86 ] || {
expect "the 64-bit tree holds a 64-bit setup program" \
  "$(x86_64-w64-mingw32-objdump -f "$SETUP64" 2>/dev/null | grep -o 'pei-x86-64' | head -1)" "pei-x86-64"
if [ -f "$SETUP32" ]; then
  expect "the 32-bit tree holds a 32-bit setup program" \
    "$(i686-w64-mingw32-objdump -f "$SETUP32" 2>/dev/null | grep -o 'pei-i386' | head -1)" "pei-i386"
  if grep -qa 'NullsoftInst' "$SETUP32"; then pass "the 32-bit setup program is an installer package"
  else fail "the 32-bit setup program carries no installer data"; fi
else
  fail "the 32-bit setup program was not built ($SETUP32)"
fi
}

# --- A fresh prefix, home and (if needed) display of this suite's own. --------------------
SCRATCH=$(mktemp -d /tmp/brisklet-installer.XXXXXX)
export HOME="$SCRATCH/home" WINEPREFIX="$SCRATCH/pfx" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
mkdir -p "$HOME"
XVFB_PID=
BRISKLET_PID=
cleanup() {
  [ -n "$BRISKLET_PID" ] && kill "$BRISKLET_PID" >/dev/null 2>&1
  "$WINE" wineserver -k >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" >/dev/null 2>&1 && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  n=$(( (RANDOM % 300) + 600 ))
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  wait_until 10 test -e "/tmp/.X11-unix/X$n"
fi
"$WINE" wineboot -i >/dev/null 2>&1
timeout 60 "$WINE" wineserver -w
# Marlett, for the glyphs of the caption buttons in the screenshots.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null

C_DRIVE="$WINEPREFIX/drive_c"
INSTALLED="$C_DRIVE/$PROGRAM_FILES/Brisklet"
SHORTCUT="$C_DRIVE/ProgramData/Microsoft/Windows/Start Menu/Programs/Brisklet.lnk"

# reg_value KEY NAME [VIEW]: the data of a value as Wine's reg prints it ("" when missing).
reg_value() {
  local key=$1 name=$2 view=${3:-$VIEW} shown=$2 args
  if [ -z "$name" ]; then args=(/ve); shown='(Default)'; else args=(/v "$name"); fi
  "$WINE" reg query "$key" "${args[@]}" "$view" 2>/dev/null | tr -d '\r' |
    awk -v name="$shown" '{ line = $0; sub(/^ +/, "", line)
      if (index(line, name "    REG_") == 1) {
        line = substr(line, length(name) + 5); sub(/^REG_[A-Z_]+    /, "", line); print line; exit } }'
}
reg_has_key() { "$WINE" reg query "$1" "$VIEW" >/dev/null 2>&1; }
run_with_timeout() { timeout --kill-after=5 "$@"; }

# --- Silent installation. --------------------------------------------------------------------
run_with_timeout 120 "$WINE" "$SETUP" /S
expect "silent installation ends with exit code 0" "$?" "0"

if cmp -s "$BUILD/brisklet.exe" "$INSTALLED/brisklet.exe"; then pass "brisklet.exe is installed in $PROGRAM_FILES"
else fail "brisklet.exe is missing from, or differs in, $INSTALLED"; fi
if cmp -s "$BUILD/brisklet.chm" "$INSTALLED/brisklet.chm"; then pass "brisklet.chm is installed next to brisklet.exe"
else fail "brisklet.chm is missing from, or differs in, $INSTALLED"; fi
if [ -f "$INSTALLED/uninstall.exe" ]; then pass "the uninstaller is installed"; else fail "no uninstall.exe in $INSTALLED"; fi

expect "InstalledPath names the installation folder, without a trailing backslash" \
  "$(reg_value "$APP_KEY" InstalledPath)" "$DEFAULT_DIR"
expect "InstalledPath is written to the registry view of its program only ($VIEW)" \
  "$(reg_value "$APP_KEY" InstalledPath "$OTHER_VIEW")" ""

if [ -f "$SHORTCUT" ]; then
  expect "the Start-menu shortcut starts the installed brisklet.exe" \
    "$("$WINE" "$PROBE" shortcut 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Brisklet.lnk' | tr -d '\r')" \
    "target=$DEFAULT_DIR\\brisklet.exe"
else
  fail "no Start-menu shortcut at $SHORTCUT"
fi

expect "Add/Remove Programs lists Brisklet" "$(reg_value "$UNINSTALL_KEY" DisplayName)" "Brisklet"
expect "Add/Remove Programs runs the installed uninstaller" \
  "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$DEFAULT_DIR\\uninstall.exe\""

# --- The installed Brisklet starts and shows its tray icon. ----------------------------------
(cd "$SCRATCH" && exec "$WINE" "$DEFAULT_DIR\\brisklet.exe" >/dev/null 2>&1) &
BRISKLET_PID=$!
probe_out=$(run_with_timeout 60 "$WINE" "$PROBE" tray 30000 | tr -d '\r')
probe_rc=$?
if [ $probe_rc -eq 0 ]; then pass "the installed Brisklet starts and adds its tray icon"
else fail "the installed Brisklet shows no Button bar with a tray icon: $probe_out"; fi
expect "the running Brisklet is the one in the installation folder" \
  "$(echo "$probe_out" | sed -n 's/^exe=//p')" "$DEFAULT_DIR\\brisklet.exe"

# --- "Using Brisklet..." asks HTML Help for the installed brisklet.chm. ------------------------
# A recording stand-in takes the HTML Help control's place for the rest of this prefix's life.
mkdir -p "$C_DRIVE/helptest"
cp "$FAKE_HELP" "$C_DRIVE/helptest/hhctrl_recorder.dll"
CALLS="$C_DRIVE/helptest/hhctrl_recorder.dll.calls"
"$WINE" reg add "$HELP_CLSID_KEY" /ve /d 'C:\helptest\hhctrl_recorder.dll' /f "$VIEW" >/dev/null 2>&1
calls_at_least() { [ -f "$CALLS" ] && [ "$(grep -c . "$CALLS")" -ge "$1" ]; }
if [ $probe_rc -eq 0 ] && run_with_timeout 30 "$WINE" "$PROBE" help >/dev/null && wait_until 10 calls_at_least 1; then
  first=$(head -1 "$CALLS" | tr -d '\r')
  expect "the help command calls HtmlHelpA(no owner, <InstalledPath>\\brisklet.chm, HH_DISPLAY_TOPIC, 0)" \
    "$(echo "$first" | sed 's/^hwnd=0*\( \)/hwnd=0\1/')" "hwnd=0 command=0 data=0 file=$DEFAULT_DIR\\brisklet.chm"
  if run_with_timeout 30 "$WINE" "$PROBE" help >/dev/null && wait_until 10 calls_at_least 2; then
    expect "a second help command asks for the same file again" "$(sed -n 2p "$CALLS" | tr -d '\r')" "$(head -1 "$CALLS" | tr -d '\r')"
  else
    fail "a second help command did not reach HtmlHelpA"
  fi
else
  fail "the help command did not reach the registered HTML Help control"
fi

# --- The user's Button files and Run values, as a user of the program would leave them. ------
DOCS=$(ls -d "$C_DRIVE"/users/*/Documents 2>/dev/null | grep -v '/users/Public/' | head -1)
BUTTONS="$DOCS/brisklet"
mkdir -p "$BUTTONS" "$SCRATCH/kept"
head -c 64996 /dev/urandom >"$BUTTONS/work.bklt"
head -c 64996 /dev/urandom >"$BUTTONS/My Home Links.bklt"
"$WINE" reg add "$RUN_KEY" /v Brisklet /d "\"$DEFAULT_DIR\\brisklet.exe\"" /f >/dev/null 2>&1
"$WINE" reg add "$RUN_KEY" /v OtherTool /d 'C:\other\tool.exe' /f >/dev/null 2>&1

# --- The uninstaller will not pull files from under a running Brisklet. ----------------------
# "_?=" keeps the uninstaller in place, so that its exit code is the result: 2, the setup
# program's own "aborted by the script", is a refusal; the probe's 124 and 125 are an uninstaller
# that ran too long or could not start.
refused_out=$(set -o pipefail; run_with_timeout 150 "$WINE" "$PROBE" run 120000 "\"$DEFAULT_DIR\\uninstall.exe\" /S _?=$DEFAULT_DIR" | tr -d '\r')
refused_rc=$?
if [ $probe_rc -eq 0 ]; then
  if [ $refused_rc -ne 2 ]; then
    fail "the uninstaller did not refuse while Brisklet runs (exit code $refused_rc: $refused_out)"
  elif [ -f "$INSTALLED/brisklet.exe" ] && [ -n "$(reg_value "$APP_KEY" InstalledPath)" ]; then
    pass "a silent uninstall while Brisklet runs gives up and removes nothing (exit code $refused_rc)"
  else
    fail "a silent uninstall while Brisklet runs went ahead (exit code $refused_rc)"
  fi
  close_out=$(run_with_timeout 60 "$WINE" "$PROBE" close 20000 | tr -d '\r')
  if [ $? -eq 0 ]; then pass "Brisklet closes after \"Close Brisklet?\" is answered Yes and removes its tray icon"
  else fail "Brisklet could not be closed: $close_out"; fi
fi
# A Brisklet that did not close (or never got as far as its bar) is ended by its process id.
if ! wait_until 20 eval '! kill -0 "$BRISKLET_PID" 2>/dev/null'; then kill "$BRISKLET_PID" 2>/dev/null; fi
wait "$BRISKLET_PID" 2>/dev/null
BRISKLET_PID=
# Whatever the program made in its folder at start (its default Button file) is kept as well.
(cd "$BUTTONS" && sha256sum -- *.bklt) >"$SCRATCH/kept/sums"

# --- Silent uninstall. ------------------------------------------------------------------------
# The uninstaller copies itself to the temporary folder and returns at once; the copy does the
# work, so the suite waits for its result on disk.
run_with_timeout 60 "$WINE" "$INSTALLED/uninstall.exe" /S
expect "the silent uninstall starts" "$?" "0"
wait_until 60 test ! -e "$INSTALLED"
if [ -e "$INSTALLED" ]; then fail "the installation folder is still there: $(ls "$INSTALLED" | tr '\n' ' ')"
else pass "the installation folder and the program files are gone"; fi
timeout 60 "$WINE" wineserver -w

if [ -e "$SHORTCUT" ]; then fail "the Start-menu shortcut is still there"; else pass "the Start-menu shortcut is gone"; fi
expect "InstalledPath is gone" "$(reg_value "$APP_KEY" InstalledPath)" ""
if reg_has_key 'HKLM\Software\Vantaro'; then fail "an empty HKLM\\Software\\Vantaro key is left behind"
else pass "no empty Vantaro key is left under HKLM"; fi
if reg_has_key "$UNINSTALL_KEY"; then fail "Add/Remove Programs still lists Brisklet"
else pass "Brisklet is gone from Add/Remove Programs"; fi
expect "the per-user Run value \"Brisklet\" is gone" "$(reg_value "$RUN_KEY" Brisklet)" ""
expect "other programs' Run values stay" "$(reg_value "$RUN_KEY" OtherTool)" 'C:\other\tool.exe'
if [ -d "$BUTTONS" ] && (cd "$BUTTONS" && sha256sum --quiet -c "$SCRATCH/kept/sums" >/dev/null 2>&1); then
  pass "the user's Button files are kept unchanged ($(wc -l <"$SCRATCH/kept/sums") files in Documents\\brisklet)"
else
  fail "the user's Button files were not kept"
fi

# --- A folder of the user's choice, with blanks in its name. ---------------------------------
CUSTOM_DIR='C:\Apps\Brisk Links'
# /D= must come last and unquoted, blanks and all.
cp "$SETUP" "$C_DRIVE/helptest/setup.exe"
run_with_timeout 150 "$WINE" "$PROBE" run 120000 "C:\\helptest\\setup.exe /S /D=$CUSTOM_DIR"
custom_rc=$?
expect "InstalledPath names a chosen folder exactly (exit code $custom_rc)" \
  "$(reg_value "$APP_KEY" InstalledPath)" "$CUSTOM_DIR"
if [ -f "$C_DRIVE/Apps/Brisk Links/brisklet.exe" ] && [ -f "$C_DRIVE/Apps/Brisk Links/brisklet.chm" ]; then
  pass "the chosen folder holds brisklet.exe and brisklet.chm"
else
  fail "the chosen folder lacks brisklet.exe or brisklet.chm"
fi
run_with_timeout 60 "$WINE" "$C_DRIVE/Apps/Brisk Links/uninstall.exe" /S
wait_until 60 test ! -e "$C_DRIVE/Apps/Brisk Links"
if [ ! -e "$C_DRIVE/Apps/Brisk Links" ] && [ -z "$(reg_value "$APP_KEY" InstalledPath)" ]; then
  pass "uninstalling from the chosen folder removes it and InstalledPath"
else
  fail "uninstalling from the chosen folder left files or InstalledPath behind"
fi

# --- The wizard, as a person clicks through it: its last page offers to start Brisklet. -------
WIZARD="Brisklet Setup"
"$WINE" "$SETUP" >/dev/null 2>&1 &
SETUP_PID=$!
wizard() { run_with_timeout 90 "$WINE" "$PROBE" "$@" | tr -d '\r'; }
if wizard page "$WIZARD" "Welcome to" 30000 && wizard press "$WIZARD" 1 &&
   wizard page "$WIZARD" "Destination Folder" 30000 && wizard press "$WIZARD" 1 &&
   wizard page "$WIZARD" "Completing" 60000; then
  expect "the wizard's last page offers to start Brisklet, ticked" \
    "$(wizard checked "$WIZARD" "Start Brisklet now")" "checked=1"
  if [ -n "${BRISKLET_SCREENSHOTS:-}" ]; then
    mkdir -p "$BRISKLET_SCREENSHOTS"
    xid=$(xdotool search --name "^$WIZARD" 2>/dev/null | head -1)
    [ -n "$xid" ] && import -window "$xid" "$BRISKLET_SCREENSHOTS/setup-finish.png" 2>/dev/null
  fi
  wizard press "$WIZARD" 1 >/dev/null
  finish_out=$(run_with_timeout 60 "$WINE" "$PROBE" tray 30000 | tr -d '\r')
  expect "Finish starts the installed Brisklet, which adds its tray icon" \
    "$finish_out" "exe=$DEFAULT_DIR\\brisklet.exe"
  close_out=$(run_with_timeout 60 "$WINE" "$PROBE" close 20000 | tr -d '\r') ||
    fail "the Brisklet that Finish started could not be closed: $close_out"
else
  fail "the wizard did not reach its last page (welcome, folder, install)"
fi
if [ -n "$SETUP_PID" ]; then
  wait_until 30 eval '! kill -0 "$SETUP_PID" 2>/dev/null' || kill "$SETUP_PID" 2>/dev/null
  wait "$SETUP_PID" 2>/dev/null
fi

# --- As scripts/run.sh starts it: in a Wine virtual desktop, whose taskbar has a tray. ---------
# Windows on that desktop are seen only by programs started on it, so the probe runs there too
# and leaves its output in a file.
DESK="BriskletTest"
PROBE_WIN=$("$WINE" winepath -w "$PROBE" 2>/dev/null | tr -d '\r')
in_desktop() {
  local out="$C_DRIVE/helptest/desktop-probe.txt"
  rm -f "$out"
  INSTALL_PROBE_OUT='C:\helptest\desktop-probe.txt' run_with_timeout 60 \
    "$WINE" explorer "/desktop=$DESK,1024x768" "$PROBE_WIN" "$@" >/dev/null 2>&1
  wait_until 60 grep -qs '^rc=' "$out"
  local rc; rc=$(sed -n 's/^rc=//p' "$out" | tr -d '\r')
  grep -v '^rc=' "$out" 2>/dev/null | tr -d '\r'
  return "${rc:-1}"
}
# A virtual desktop has its taskbar, with the notification area, only when asked for (Wine 10).
"$WINE" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$DESK" /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" explorer "/desktop=$DESK,1024x768" "$DEFAULT_DIR\\brisklet.exe" >/dev/null 2>&1 &
DESKTOP_PID=$!
# The first explorer on a desktop owns it and runs until the desktop ends; the probe's explorer
# must join that desktop, not race it for ownership.
desktop_window() { xdotool search --name "^$DESK" >/dev/null 2>&1; }
wait_until 30 desktop_window
desk_out=$(in_desktop tray 30000)
if [ $? -eq 0 ]; then
  pass "in a virtual desktop the installed Brisklet puts its icon in the taskbar's tray"
  if in_desktop visible 0 >/dev/null; then fail "the bar is shown before anyone clicked"; fi
  # The tray icon is the last thing at the right end of the desktop's taskbar.
  geometry=$(xdotool search --name "^$DESK" getwindowgeometry --shell 2>/dev/null | tr '\n' ' ')
  eval "$(echo "$geometry" | grep -o 'X=[0-9]* Y=[0-9]* WIDTH=[0-9]* HEIGHT=[0-9]*')"
  if [ -n "${WIDTH:-}" ]; then
    xdotool mousemove $((X + WIDTH - 11)) $((Y + HEIGHT - 11)) click 1
    if in_desktop visible 10000 >/dev/null; then
      pass "a mouse click on that tray icon shows the Button bar"
      if [ -n "${BRISKLET_SCREENSHOTS:-}" ]; then
        xid=$(xdotool search --name "^$DESK" 2>/dev/null | head -1)
        import -window "$xid" "$BRISKLET_SCREENSHOTS/tray-desktop.png" 2>/dev/null
      fi
    else
      fail "a mouse click on the tray icon did not show the Button bar"
    fi
  else
    fail "the virtual desktop's window was not found on the display ($geometry)"
  fi
  close_out=$(in_desktop close 20000) || fail "Brisklet in the virtual desktop could not be closed: $close_out"
else
  fail "in a virtual desktop the installed Brisklet shows no tray icon: $desk_out"
fi
wait_until 30 eval '! kill -0 "$DESKTOP_PID" 2>/dev/null' || kill "$DESKTOP_PID" 2>/dev/null
wait "$DESKTOP_PID" 2>/dev/null
exit 0
