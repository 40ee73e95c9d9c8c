#!/usr/bin/env bash
# The compiled help file: what went into brisklet.chm, whether its pages link up, and whether
# the menu items, labels and messages that the pages quote are the program's own.
# (Whether "Using Brisklet..." opens the installed file is checked by installer.sh.)
# Prints one "PASS: ..." or "FAIL: ..." line per check.
set -uo pipefail
# (Lookups read here-strings: "echo | grep -q" fails under pipefail when grep stops early.)

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BRISKLET_BUILD:-$ROOT/build/win64}
HELP="$ROOT/help"
CHM="$BUILD/brisklet.chm"

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; }

# The files named in the project's [FILES] section.
project_files=$(sed -n '/^\[FILES\]/,/^\[/p' "$HELP/brisklet.hhp" | tr -d '\r' | grep -v '^\[' | grep -v '^$')

# --- What went into the compiled file. ----------------------------------------------------------
if [ ! -f "$CHM" ]; then
  fail "brisklet.chm was not built next to brisklet.exe ($CHM)"
else
  listing=$(chmls list "$CHM" 2>/dev/null | awk '{ print $NF }')
  missing=""
  for f in $project_files brisklet.hhc brisklet.hhk; do
    grep -qx "/$f" <<<"$listing" || missing="$missing $f"
  done
  if [ -z "$missing" ]; then pass "brisklet.chm holds every page, the style sheet, the contents and the index"
  else fail "brisklet.chm lacks:$missing"; fi
  if chmls extract "$CHM" /index.htm "$BUILD/help-index-check.htm" >/dev/null 2>&1 &&
     cmp -s "$BUILD/help-index-check.htm" "$HELP/index.htm"; then
    pass "a page read back from brisklet.chm equals its source"
  else
    fail "index.htm read back from brisklet.chm differs from help/index.htm"
  fi
  rm -f "$BUILD/help-index-check.htm"
  default_topic=$(grep -a -o 'index\.htm' "$CHM" | head -1)
  [ -n "$default_topic" ] && pass "brisklet.chm names a start page" || fail "brisklet.chm has no start page"
fi

# --- Every page is listed, reachable from the contents, and every link lands. ------------------
unlisted=""
for page in "$HELP"/*.htm; do
  name=$(basename "$page")
  grep -qx "$name" <<<"$project_files" || unlisted="$unlisted $name"
done
[ -z "$unlisted" ] && pass "every page in help/ is compiled in" || fail "pages missing from brisklet.hhp:$unlisted"

not_in_toc=""
for name in $(echo "$project_files" | grep '\.htm$'); do
  grep -q "value=\"$name\"" "$HELP/brisklet.hhc" || not_in_toc="$not_in_toc $name"
done
[ -z "$not_in_toc" ] && pass "the contents lead to every page" || fail "pages not in the contents:$not_in_toc"

broken=""
for source in "$HELP"/*.htm "$HELP/brisklet.hhc" "$HELP/brisklet.hhk"; do
  for target in $(perl -ne 'while (/(?:href|value)="([^"#:]+\.(?:htm|css))"/gi) { print "$1\n" }' "$source"); do
    grep -qx "$target" <<<"$project_files" || broken="$broken $(basename "$source")->$target"
  done
done
[ -z "$broken" ] && pass "every link, contents entry and index entry points at a compiled page" ||
  fail "links to pages that are not compiled in:$broken"

# --- The pages quote the program's own words. ---------------------------------------------------
# Labels of menus, dialogs and buttons, as the resource scripts spell them (without the "&").
ui_texts=$(cat "$ROOT"/res/*.rc "$ROOT"/dialogs/*.rc 2>/dev/null | grep -o '"[^"]*"' | tr -d '"&')
# The labels of the system's own dialogs that the pages mention.
system_words='^(Yes|No|Save|Open|Run|OK|Cancel)$'
unknown=""
while IFS= read -r quoted; do
  [ -z "$quoted" ] && continue
  # "File > Setup Buttons..." names a menu and its item.
  while IFS= read -r part; do
    [[ "$part" =~ $system_words ]] && continue
    grep -qF -- "$part" <<<"$ui_texts" || unknown="$unknown [$part]"
  done < <(echo "$quoted" | sed 's/ &gt; /\n/g')
done < <(cat "$HELP"/*.htm | tr '\n' ' ' | perl -ne 'while (/<span class="ui">(.*?)<\/span>/g) { print "$1\n" }' |
         sed 's/  */ /g' | sort -u)
[ -z "$unknown" ] && pass "every menu item and label the pages name exists in the program's resources" ||
  fail "the pages name labels the program does not have:$unknown"

# Messages listed in the troubleshooting page, as the program shows them.
program_texts=$(cat "$ROOT"/app/*.cpp "$ROOT"/app/*.h "$ROOT"/store/*.cpp "$ROOT"/store/*.h "$ROOT"/dialogs/*.cpp "$ROOT"/dialogs/*.h "$ROOT"/shell/*.cpp 2>/dev/null)
unknown=""
count=0
while IFS= read -r message; do
  message=$(echo "$message" | sed 's/ *\.\.\.$//; s/ *<b>.*$//')
  [ -z "$message" ] && continue
  count=$((count + 1))
  grep -qF -- "$message" <<<"$program_texts" || unknown="$unknown [$message]"
done < <(tr '\n' ' ' <"$HELP/messages.htm" | perl -ne 'while (/<tr><td>(.*?)<\/td>/g) { my $c = $1; while ($c =~ /<i>(.*?)<\/i>/g) { print "$1\n" } }' |
         sed 's/  */ /g')
if [ "$count" -lt 8 ]; then fail "messages.htm lists only $count messages"
elif [ -z "$unknown" ]; then pass "all $count messages explained in the help are the program's own texts"
else fail "the help explains messages the program never shows:$unknown"; fi
exit 0
