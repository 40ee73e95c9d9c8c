#!/usr/bin/env bash
# Makes, once, a Debian 13 root holding Wine 10, its fonts, Wine's 32-bit DLLs (unpacked, never
# installed) and the few programs the Windows-side tests start inside it, for a system whose own
# Wine is older. scripts/wine.sh then runs Wine from it. Called by scripts/setup.sh.
#
# The packages come from the Debian mirror this machine's own apt sources name. The root is made
# in NAME.part and moved into place only when it is whole, with a mark file in it: a finished root
# is reused, a half-made one is removed and made again.
#
# Exit status: 0 the root is there; 2 it cannot be made for this user here (no user namespaces),
# and the system's Wine is used instead; 1 making it failed (one line says what and what to do).
set -uo pipefail

# shellcheck source=scripts/wine_env.sh
. "$(dirname "$0")/wine_env.sh"
DEST=$BRISKLET_WINE_ROOT
PART=$DEST.part
SUITE=trixie
# Wine itself, its fonts, and what the end-to-end tests run as host commands (chattr, mount).
PACKAGES=ca-certificates,wine64,libwine,fonts-wine,e2fsprogs,mount
# A root holds about 2.5 GB once made; more is needed while the packages are unpacked.
NEED_KB=$((4 * 1024 * 1024))

say() { echo "setup: $*"; }
fail() { say "could not make the Wine 10 root in $DEST: $1"; say "$2"; rm_part; exit 1; }

# Removes a half-made root. Every mount of the making lived in a private namespace and is gone,
# but a folder that still has something mounted under it is left alone rather than emptied.
rm_part() {
  [ -e "$PART" ] || return 0
  if findmnt -rn -o TARGET | grep -q "^$PART\(/\|\$\)"; then
    say "$PART still has something mounted under it; unmount it and remove the folder by hand"
    return 1
  fi
  rm -rf --one-file-system "$PART"
}

if [ -f "$DEST/$BRISKLET_WINE_ROOT_MARK" ]; then exit 0; fi

if [ "$(id -u)" -eq 0 ]; then
  MODE=root
else
  # An unprivileged root needs user namespaces with subordinate ids (newuidmap).
  if ! unshare -r true 2>/dev/null || ! command -v newuidmap >/dev/null ||
     ! grep -q "^$(id -un):" /etc/subuid 2>/dev/null; then
    say "this user cannot make a Debian 13 root here (no user namespaces or no subordinate ids in"
    say "/etc/subuid): the tests run on the system's Wine, whose WoW64 mode cannot run the 32-bit"
    say "build's dialogs; running setup as root once makes the root for every user"
    exit 2
  fi
  MODE=unshare
fi

# The Debian mirror of this machine's apt sources: the one serving this release's main component.
CODENAME=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
MIRROR=$(apt-cache policy 2>/dev/null |
  sed -nE "s#^ *[0-9]+ (https?://[^ ]+) ${CODENAME}/main amd64 Packages#\1#p" | head -1)
[ -n "$MIRROR" ] || fail "no Debian mirror for '$CODENAME/main' in this machine's apt sources" \
  "add the Debian archive to /etc/apt/sources.list.d/ and run apt-get update, then try again"

rm_part || exit 1
mkdir -p "$(dirname "$DEST")" || fail "cannot create $(dirname "$DEST")" "check the permissions of its parent"
avail=$(df -Pk "$(dirname "$DEST")" | awk 'NR == 2 { print $4 }')
if [ -n "$avail" ] && [ "$avail" -lt "$NEED_KB" ]; then
  fail "only $((avail / 1024)) MiB free on $(dirname "$DEST"), 4 GiB are needed" \
    "free some space there (or set BRISKLET_CACHE to a folder on a larger disk) and run setup again"
fi

say "making a Debian 13 root with Wine 10 in $DEST (once: a few minutes, about 2.5 GB)"
start=$(date +%s)
LOG=$(dirname "$DEST")/wine10-root.log
# Wine's 32-bit DLLs: the files of libwine:i386, unpacked beside the installed 64-bit Wine, and the
# folder WINEDLLPATH names (a DLL's Unix side is looked for beside its PE folder).
W32=${BRISKLET_ROOT_WINEDLLPATH%/dllpath}
HOOK="chroot \"\$1\" sh -ec 'cd /tmp && apt-get download -q libwine:i386 &&
  mkdir -p $W32 && dpkg-deb -x libwine_*_i386.deb $W32/unpacked && rm -f libwine_*_i386.deb &&
  mkdir -p $BRISKLET_ROOT_WINEDLLPATH &&
  ln -sfn $W32/unpacked/usr/lib/i386-linux-gnu/wine/i386-windows $BRISKLET_ROOT_WINEDLLPATH/i386-windows &&
  ln -sfn /usr/lib/x86_64-linux-gnu/wine/x86_64-unix $BRISKLET_ROOT_WINEDLLPATH/x86_64-unix &&
  test -f $BRISKLET_ROOT_WINEDLLPATH/i386-windows/user32.dll &&
  printf \"127.0.0.1 localhost\n::1 localhost\n\" >/etc/hosts && apt-get clean'"
if [ "$MODE" = root ]; then
  # In a private mount namespace: whatever the making mounts is gone when it ends, however it ends.
  unshare -m --propagation private mmdebstrap --mode=root --variant=minbase --architectures=amd64,i386 \
    --include="$PACKAGES" --customize-hook="$HOOK" "$SUITE" "$PART" "$MIRROR" >"$LOG" 2>&1
  rc=$?
else
  # Made as a tarball in a user namespace, then unpacked as this user (so every file is the
  # user's own; /dev is bound in when Wine runs).
  mkdir -p "$PART" &&
  mmdebstrap --mode=unshare --variant=minbase --architectures=amd64,i386 --include="$PACKAGES" \
    --customize-hook="$HOOK" "$SUITE" - "$MIRROR" 2>"$LOG" |
    tar -x -C "$PART" --no-same-owner --no-same-permissions --exclude='./dev/*' 2>>"$LOG"
  rc=$?
fi
if [ $rc -ne 0 ]; then
  reason=$(grep -aE '^(E:|W: Failed|mmdebstrap: error|E: |.*No space left|.*Permission denied)' "$LOG" | head -1)
  case "$reason" in
    *"No space"*) fail "the disk filled up (${reason})" "free some space and run setup again" ;;
    *"Permission denied"*|*"Operation not permitted"*)
      fail "not permitted (${reason})" "run setup as root, or as a user with subordinate ids in /etc/subuid" ;;
    *) fail "mmdebstrap failed (${reason:-see $LOG})" \
         "check that $MIRROR answers (apt-get update) and run setup again; the log is $LOG" ;;
  esac
fi

version=$(BRISKLET_WINE_ROOT=$PART BRISKLET_WINE=root bash "$(dirname "$0")/wine.sh" --version 2>>"$LOG")
major=${version#wine-}; major=${major%%.*}
if ! [ "${major:-0}" -ge "$BRISKLET_WINE_MIN_MAJOR" ] 2>/dev/null; then
  fail "the root's Wine does not start or is too old ('${version:-no answer}')" "see $LOG and run setup again"
fi
echo "$version" >"$PART/$BRISKLET_WINE_ROOT_MARK" || fail "cannot write in $PART" "check the disk"
rm -rf --one-file-system "$DEST" 2>/dev/null
mv "$PART" "$DEST" || fail "cannot move $PART into place" "check the permissions of $(dirname "$DEST")"
size=$(du -sh --one-file-system "$DEST" 2>/dev/null | cut -f1)
say "the Wine 10 root is ready ($version, $size) after $(( $(date +%s) - start )) s, once"
