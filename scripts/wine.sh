#!/usr/bin/env bash
# Starts a Windows program, or one of Wine's own tools, under the Wine every script and test uses,
# with the caller's paths, environment, display and prefix, so that nothing else needs to know
# which Wine that is:
#
#   scripts/wine.sh PROGRAM [ARGS...]     what `wine64 PROGRAM ARGS...` does
#   scripts/wine.sh wineserver [ARGS...]  that Wine's server (-k, -w)
#   scripts/wine.sh --version             its version line (wine-10.0 ...)
#   scripts/wine.sh --which               "system" or "root DIR"
#
# The Wine is the system's when it is version 10 or later; otherwise the Debian 13 root that
# scripts/setup.sh made; otherwise the system's older one. BRISKLET_WINE=system|root forces one.
# WINEDLLPATH is set to that Wine's 32-bit DLLs (WoW64 mode) unless the caller sets it.
#
# From the root, the program runs chrooted inside a private mount namespace, one per Wine session
# (see below): /proc, /dev, /sys, /tmp (X sockets, the tests' scratch folders), the repository,
# $HOME, the prefix's folder, the working folder and any folder in BRISKLET_WINE_BINDS
# (colon-separated) are bound in at their own paths. The mounts exist only in that namespace:
# nothing stays mounted once the session's programs and its Wine server have ended. The command
# is exec'ed all the way down, so the caller's process id is the Wine process itself (timeout and
# kill reach it).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine_env.sh
. "$HERE/wine_env.sh"

which=${BRISKLET_WINE:-}
if [ -z "$which" ]; then
  if [ "$(brisklet_system_wine_major)" -ge "$BRISKLET_WINE_MIN_MAJOR" ]; then which=system
  elif [ -f "$BRISKLET_WINE_ROOT/$BRISKLET_WINE_ROOT_MARK" ]; then which=root
  else which=system; fi
fi

case "${1:-}" in
  --which) if [ "$which" = root ]; then echo "root $BRISKLET_WINE_ROOT"; else echo system; fi; exit 0 ;;
  --version) set -- --version ;;
esac
if [ "${1:-}" = wineserver ]; then
  shift
  set -- /usr/lib/wine/wineserver "$@"
else
  set -- /usr/lib/wine/wine64 "$@"
fi

if [ "$which" = system ]; then
  export WINEDLLPATH=${WINEDLLPATH:-$BRISKLET_WINEDLLPATH}
  exec "$@"
fi

export WINEDLLPATH=${WINEDLLPATH:-$BRISKLET_ROOT_WINEDLLPATH}
# Wine 10 keeps its server's socket under XDG_RUNTIME_DIR, or else in a new /tmp/wine-XXXXXX
# folder for every session, which nothing removes: one folder of our own per user instead.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=/tmp/brisklet-wine-$(id -u)
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
PREFIX=${WINEPREFIX:-$HOME/.wine}
binds=(/proc /dev /sys /tmp "$(cd "$HERE/.." && pwd)" "$PWD" "$(dirname "$PREFIX")")
[ -n "${HOME:-}" ] && binds+=("$HOME")
IFS=: read -r -a extra <<<"${BRISKLET_WINE_BINDS:-}"
binds+=("${extra[@]}")

# The Wine server opens the files its programs ask for, in its own mount namespace, so every
# program of one Wine session runs in the namespace of that session's server: a folder a test
# mounts something on (a small file system, say) is then the same folder for all of them. The
# first program of a session makes the namespace (and starts the server in it); the others join
# it. An open descriptor of the namespace keeps it while this call joins, should the server end.
join=()
for proc in /proc/[0-9]*; do
  comm=
  read -r comm 2>/dev/null <"$proc/comm" || continue
  case "$comm" in wineserver|wineserver64) ;; *) continue ;; esac
  [ "$(readlink "$proc/root" 2>/dev/null)" = "$BRISKLET_WINE_ROOT" ] || continue
  tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$PREFIX" || continue
  if exec 8<"$proc/ns/user" 9<"$proc/ns/mnt"; then
    join=(--mount=/proc/self/fd/9)
    [ "$(id -u)" -eq 0 ] || join=(--user=/proc/self/fd/8 --preserve-credentials "${join[@]}")
  fi 2>/dev/null
  break
done
if [ ${#join[@]} -gt 0 ]; then
  enter=(nsenter "${join[@]}")
else
  enter=(unshare -m --propagation private)
  [ "$(id -u)" -eq 0 ] || enter=(unshare -r -m --propagation private)
fi
# shellcheck disable=SC2016  # expanded by the inner shell
exec "${enter[@]}" /bin/bash -c '
  set -e
  exec 8<&- 9<&-
  root=$1 cwd=$2 nbinds=$3; shift 3
  while [ "$nbinds" -gt 0 ]; do
    d=$1; shift; nbinds=$((nbinds - 1))
    [ -d "$d" ] && [ "$d" != / ] || continue
    # A folder already there (bound in earlier, or through a parent) needs no mount of its own.
    if [ "$(stat -c %d:%i "$d")" = "$(stat -c %d:%i "$root$d" 2>/dev/null)" ]; then continue; fi
    mkdir -p "$root$d"
    mount --rbind "$d" "$root$d"
  done
  exec chroot "$root" /usr/bin/env --chdir="$cwd" "$@"
' brisklet-wine "$BRISKLET_WINE_ROOT" "$PWD" "${#binds[@]}" "${binds[@]}" "$@"
