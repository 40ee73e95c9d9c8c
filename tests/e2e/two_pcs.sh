#!/usr/bin/env bash
# Two PCs on one synced folder: two Wine prefixes, each with its own server and registry and its
# own running Brisklet, whose Documents\brisklet is one folder (both prefixes link Documents to
# the same HOME). Each Brisklet is driven by pc_driver.exe started in its own prefix; this
# script plays the sync client (it replaces files by rename and makes conflict copies) and reads
# the shared Button file. Prints "PASS: ..." / "FAIL: ..." lines.
#
# Expects WINE, WINEPREFIX, DISPLAY, HOME and BRISKLET_BUILD (the build folder), as the test
# runner sets them; by hand, in a Wine session of scripts/wine_session.sh:
#   BRISKLET_BUILD=build/win64 bash tests/e2e/two_pcs.sh
# shellcheck disable=SC2016  # conditions are handed to expect as text and evaluated at each try
set -uo pipefail

WINE=${WINE:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine.sh}
BUILD=${BRISKLET_BUILD:?BRISKLET_BUILD must name the build folder}
SCRATCH=$(mktemp -d /tmp/brisklet-two-pcs.XXXXXX)
PFX=("" "$WINEPREFIX" "$SCRATCH/pfx2")
PIDS=()

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; }

cleanup() {
  for pc in 1 2; do on "$pc" exit >/dev/null; done
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  WINEPREFIX=${PFX[2]} timeout 20 "$WINE" wineserver -k >/dev/null 2>&1
  rm -rf "$SCRATCH"
}

# on PC COMMAND...: pc_driver.exe in that PC's prefix; prints its line.
on() {
  local pc=$1; shift
  WINEPREFIX=${PFX[$pc]} timeout -k 3 40 "$WINE" "$BUILD/pc_driver.exe" "$@" 2>/dev/null | tr -d '\r'
}

# until SECONDS COMMAND...: runs the command every half second until it succeeds.
until_ok() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.5; done
}

# The sync client. image FILE NAME...: a Button file of these buttons (addresses
# http://NAME.example/), written whole beside FILE and moved over it.
put() { printf '%b' "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
le32() { printf '\\x%02x\\x%02x\\x00\\x00' $(($1 & 255)) $(($1 >> 8)); }
image() {
  local file=$1 i=0; shift
  head -c 64996 /dev/zero >"$file.~sync"
  put "$file.~sync" 0 "$(le32 140)"
  put "$file.~sync" 16 "$(le32 $#)"
  for name; do
    put "$file.~sync" $((532 + 644 * i)) "$name"
    put "$file.~sync" $((532 + 644 * i + 64)) "http://$name.example/"
    i=$((i + 1))
  done
  mv -f "$file.~sync" "$file"
}
# names FILE: the names of its buttons, "|" between them (or the size of a file that is not one).
# The file is read in one go: a Brisklet may replace it between two reads.
names() {
  local copy="$SCRATCH/read" n i out=""
  cat "$1" >"$copy" 2>/dev/null
  [ "$(stat -c %s "$copy")" = 64996 ] || { echo "size=$(stat -c %s "$copy")"; return; }
  n=$(od -An -t d4 -j16 -N4 "$copy" | tr -d ' ')
  for ((i = 0; i < n && i < 100; i++)); do
    out+=$(dd if="$copy" bs=1 skip=$((532 + 644 * i)) count=64 status=none | tr -d '\0')"|"
  done
  echo "${out%|}"
}
# plus SOURCE DEST NAME: another PC's version of SOURCE, with one more button, written at DEST.
plus() {
  local n
  n=$(od -An -t d4 -j16 -N4 "$1" | tr -d ' ')
  cp "$1" "$2"
  put "$2" 16 "$(le32 $((n + 1)))"
  put "$2" $((532 + 644 * n)) "$3"
  put "$2" $((532 + 644 * n + 64)) "http://$3.example/"
}
has_url() { grep -aqF "$2" "$1"; }
file_is() { [ "$(names "$FILE")" = "$1" ]; }
bar_is() { [ "$(on "$1" bar)" = "$2" ]; }
everywhere() { file_is "$1" && bar_is 1 "$1" && bar_is 2 "$1"; }
# expect WHAT SECONDS COMMAND...: PASS when the command comes true in time.
expect() {
  local what=$1 seconds=$2; shift 2
  if until_ok "$seconds" "$@"; then pass "$what"; else fail "$what (file: $(names "$FILE"); bars: $(on 1 bar) / $(on 2 bar))"; fi
}
step() { local out; out=$(on "$@"); [ "$out" = ok ] || fail "PC $1: $2 ${3:-}: $out"; }

if [ ! -f "$BUILD/pc_driver.exe" ] || [ ! -f "$BUILD/brisklet.exe" ]; then fail "brisklet.exe or pc_driver.exe was not built"; exit 1; fi

# PC 1 is the session's prefix, PC 2 a copy of it made while its server is down (the same
# user, its own registry and server from then on), whose Documents is PC 1's folder.
if [ "${BRISKLET_ARCH:-x64}" = x86 ]; then VIEW=/reg:32; else VIEW=/reg:64; fi
"$WINE" reg delete 'HKCU\Software\Vantaro\Brisklet' /f >/dev/null 2>&1
"$WINE" reg add 'HKLM\Software\Vantaro\Brisklet' /v InstalledPath /t REG_SZ /d "$("$WINE" winepath -w "$BUILD" | tr -d '\r')" /f "$VIEW" >/dev/null 2>&1
timeout 30 "$WINE" wineserver -w
cp -a "${PFX[1]}" "${PFX[2]}"
trap cleanup EXIT
DOCS=drive_c/users/$(id -un)/Documents
DOCS1=$(readlink -f "${PFX[1]}/$DOCS")
rm -rf "${PFX[2]:?}/$DOCS" && ln -s "$DOCS1" "${PFX[2]}/$DOCS"
FOLDER="$DOCS1/brisklet"
FILE="$FOLDER/buttons.bklt"
WFILE="C:\\users\\$(id -un)\\Documents\\brisklet\\buttons.bklt"
rm -rf "$FOLDER" && mkdir -p "$FOLDER"
image "$FILE" A B
for pc in 1 2; do
  WINEPREFIX=${PFX[$pc]} "$WINE" "$BUILD/brisklet.exe" "$WFILE" >/dev/null 2>&1 &
  PIDS+=($!)
done
expect "a Brisklet runs in each prefix on the shared file" 40 everywhere "A|B"

# An addition on each PC in turn: each reaches the other's bar, and the file keeps both.
step 1 setup; step 1 add C http://C.example/; step 1 ok
expect "PC 1's addition is on PC 2's bar" 10 bar_is 2 "C|A|B"
step 2 setup; step 2 add D http://D.example/; step 2 ok
expect "PC 2's addition is on PC 1's bar, and PC 1's is still in the file" 10 everywhere "D|C|A|B"

# A delete on one and an edit on the other, both in a Setup opened before the other saved.
step 1 setup; step 2 setup
step 1 delete A; step 1 ok
step 2 edit B http://B2.example/; step 2 ok
expect "PC 1 deleted A and PC 2 edited B: both changes are in the file and on both bars" 10 \
  eval 'everywhere "D|C|B" && has_url "$FILE" http://B2.example/'

# Both edit one button: both versions are kept, next to each other, and the second saver is told once.
step 1 setup; step 2 setup
step 1 edit C http://C1.example/; step 1 ok
step 2 edit C http://C2.example/
told=$(on 2 answer 1 10)
case "$told" in *C*) pass "PC 2 is told of the button changed on both PCs: ${told//$'\n'/ }" ;; *) fail "PC 2 was not told of C ($told)" ;; esac
step 2 ok
expect "both versions of C are in the file and on both bars" 10 \
  eval 'everywhere "D|C|C|B" && has_url "$FILE" http://C1.example/ && has_url "$FILE" http://C2.example/'
again=$(on 2 answer 1 2)$(on 1 answer 1 1)
if [ "$again" = nonenone ]; then pass "neither PC is told again"; else fail "told again: $again"; fi

# A conflict copy: the sync client kept another PC's version (the file and X) beside the file.
# Both PCs offer it; PC 1 merges it, PC 2 says No (or, seeing the copy renamed, never asks).
COPY="$FOLDER/buttons-LAPTOP.bklt"
plus "$FILE" "$COPY.~sync" X
mv -f "$COPY.~sync" "$COPY"
asked=$(on 1 answer 6 10)
case "$asked" in *buttons-LAPTOP.bklt*) pass "PC 1 offers the conflict copy" ;; *) fail "PC 1 did not offer the copy ($asked)" ;; esac
on 2 answer 7 3 >/dev/null
expect "the copy's X is merged once into the file and on both bars, the copy renamed .merged" 10 \
  eval 'everywhere "D|C|C|B|X" && [ -f "$COPY.merged" ] && [ ! -e "$COPY" ]'

# A lock held across a save: PC 1's sync client holds the file while PC 1 saves an addition.
on 1 hold "$WFILE" 'C:\held' 8 >/dev/null &
until_ok 10 test -e "${PFX[1]}/drive_c/held" || fail "the file was not held"
cp "$FILE" "$SCRATCH/before"
step 1 setup; step 1 add N http://N.example/
if [ ! -e "${PFX[1]}/drive_c/held" ]; then fail "the hold ended before the save could be checked"
elif cmp -s "$FILE" "$SCRATCH/before"; then pass "nothing is written while the file is held"
else fail "the held file was written"; fi
step 1 ok
expect "PC 1's save follows once the file is let go, and reaches PC 2" 25 everywhere "N|D|C|C|B|X"

# A half-written file: PC 2's version (with Y) arrives in two parts; PC 1 saves in between.
step 1 setup
plus "$FILE" "$FILE.~sync" Y
head -c 20000 "$FILE.~sync" >"$FILE"
step 1 add M http://M.example/
sleep 1
if [ "$(stat -c %s "$FILE")" = 20000 ] && bar_is 1 "M|N|D|C|C|B|X" && bar_is 2 "N|D|C|C|B|X"; then
  pass "a half-written file is neither written over nor shown"
else fail "half-written: $(stat -c %s "$FILE") bytes; bars $(on 1 bar) / $(on 2 bar)"; fi
mv -f "$FILE.~sync" "$FILE"
step 1 ok
expect "once whole, it is merged with PC 1's addition on both bars" 20 everywhere "M|N|D|C|C|B|X|Y"

# 100 buttons on each side: both PCs change one button of a full table, differently; both
# versions are kept, and the 101st goes into a new Button file beside it: nothing is dropped.
mapfile -t P < <(seq -f 'P%03g' 100)
image "$FILE" "${P[@]}"
full() { [ "$(on "$1" bar | tr '|' '\n' | grep -c ^P)" = 100 ]; }
expect "100 buttons on both bars" 20 eval 'full 1 && full 2'
step 1 setup; step 2 setup
step 1 edit P050 http://P050a.example/; step 1 ok
step 2 edit P050 http://P050b.example/
told=$(on 2 answer 1 10)
case "$told" in *"buttons (more).bklt"*) pass "PC 2 is told where the 101st button went" ;; *) fail "PC 2 was not told of the overflow file ($told)" ;; esac
step 2 ok
MORE="$FOLDER/buttons (more).bklt"
all() { { names "$FILE"; names "$MORE"; } | tr '|' '\n' | sort | tr '\n' ' '; }
all_kept() {
  [ "$(all)" = "$(printf '%s\n' "${P[@]}" P050 | sort | tr '\n' ' ')" ] &&
    cat "$FILE" "$MORE" | grep -aqF http://P050a.example/ && cat "$FILE" "$MORE" | grep -aqF http://P050b.example/
}
expect "the file holds 100 buttons and the new file the 101st; both versions of P050 are kept" 10 eval 'full 1 && all_kept'
